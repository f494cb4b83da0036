#pragma once

#include <QString>

namespace quillmer::office {

// A profile left by an earlier office instance, kept in the user's cache
// folder. Copied into each new instance's private folder, it spares the
// office its first-start work (a restart and the building of its
// configuration), about a second and a half of every conversion.
class OfficeProfileTemplate
{
public:
    explicit OfficeProfileTemplate(QString folder = defaultFolder());

    // $XDG_CACHE_HOME/quillmer/office-profile
    static QString defaultFolder();

    // Copies the template into profileFolder, which must not exist yet.
    // False when there is no template or the copy failed; profileFolder is
    // then absent again.
    bool seed(const QString& profileFolder) const;
    // Keeps the profile of an instance that ended cleanly as the template,
    // when there is none yet. Two programs doing so at once is harmless: the
    // template appears whole, by a rename, or not at all.
    void keep(const QString& profileFolder) const;
    // Forgets the template, after an instance could not start from it.
    void discard() const;

    const QString& folder() const { return m_folder; }

private:
    QString m_folder;
};

} // namespace quillmer::office
