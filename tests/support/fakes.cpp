#include "support/fakes.h"

#include "errors/apperror.h"

namespace quillmer::test {

MessageAnswer FakeMessageBox::show(const QString& text, MessageIcon icon, MessageButtons buttons)
{
    if (failing)
        throw AppError(err::InvalidCall);
    shown.append({text, icon, buttons});
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    if (answers.empty())
        return MessageAnswer::Yes;
    const MessageAnswer a = answers.front();
    answers.pop_front();
    return a;
}

QStringList FakeMessageBox::texts() const
{
    QStringList out;
    for (const Shown& s : shown)
        out << s.text;
    return out;
}

void FakePointer::setDefault()
{
    ++defaultCalls;
    if (failing)
        throw AppError(err::InvalidCall);
    busy = false;
}

std::optional<QString> FakeFileDialog::ask(const FileDialogRequest& request)
{
    asked.append(request);
    if (answers.empty())
        return std::nullopt;
    std::optional<QString> answer;
    answer.swap(answers.front());
    answers.pop_front();
    return answer;
}

void RecordingDocumentShell::ShellOpen(const QString& target)
{
    opened << target;
    if (throwing)
        throw AppError(err::FileNotFound);
}

} // namespace quillmer::test
