#pragma once

#include "support/files.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

namespace quillmer::test {

// The text of a registry file (REGEDIT4) with keys under
// HKEY_LOCAL_MACHINE, built key by key. The key names are written out here
// rather than taken from the program, so that a misspelt name shows.
class RegistryText
{
public:
    RegistryText& key(const QString& path)
    {
        m_text += "\n[HKEY_LOCAL_MACHINE\\" + path.toUtf8() + "]\n";
        return *this;
    }
    // A value line of the last key as it stands in the file, such as
    // "\"Path\"=dword:00000001".
    RegistryText& line(const QByteArray& text)
    {
        m_text += text + '\n';
        return *this;
    }
    RegistryText& value(const QString& name, const QString& text)
    {
        return line('"' + name.toUtf8() + "\"=\"" + text.toUtf8() + '"');
    }

    // SOFTWARE\GS with its GSPath.
    RegistryText& ghostscript(const QString& path)
    {
        return key("SOFTWARE\\GS").value("GSPath", path);
    }
    // The InstallRoot of an Excel version, such as "12.0".
    RegistryText& excelRoot(const QString& version)
    {
        return key("SOFTWARE\\Microsoft\\Office\\" + version + "\\Excel\\InstallRoot");
    }
    RegistryText& excel(const QString& version, const QString& folder)
    {
        return excelRoot(version).value("Path", folder);
    }
    RegistryText& printer(const QString& name)
    {
        return key("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + name);
    }

    QByteArray text() const { return m_text; }
    // Writes the text to the file and gives its path.
    QString writeTo(const QString& path) const
    {
        writeFile(path, m_text);
        return path;
    }

private:
    QByteArray m_text = "REGEDIT4\n";
};

// The registry of the built program folder.
inline const QString ProgramRegistry = QStringLiteral(QUILLMER_PROGRAM_DIR "/registry.reg");

// The built program's registry with its office program folder elsewhere.
inline QByteArray programRegistryWithOffice(const QString& folder)
{
    QString text = QString::fromUtf8(readFile(ProgramRegistry));
    text.replace(QRegularExpression("\"Path\"=\"[^\"]*\""), "\"Path\"=\"" + folder + "/\"");
    return text.toUtf8();
}

} // namespace quillmer::test
