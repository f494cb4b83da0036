#include "printqueue/charactermaps.h"

#include <memory>
#include <optional>
#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/QPDFTokenizer.hh>
#include <string>
#include <vector>

namespace quillmer::printqueue::charactermaps {

namespace {

// A character code of one to three bytes; -1 for any other.
int codeOf(const std::string& bytes)
{
    if (bytes.empty() || bytes.size() > 3)
        return -1;
    int code = 0;
    for (char b : bytes)
        code = code << 8 | static_cast<unsigned char>(b);
    return code;
}

} // namespace

MultiUnitEntries multiUnitEntries(const QByteArray& cmap)
{
    MultiUnitEntries entries;
    const auto add = [&](int code, const std::string& value) {
        if (code >= 0 && value.size() > 2 && value.size() % 2 == 0)
            entries.insert(code, QByteArray::fromStdString(value));
    };
    // The strings of the current bfchar or bfrange section, in order;
    // nullopt stands for an array's brackets.
    enum class Section
    {
        None,
        Char,
        Range
    } section = Section::None;
    std::vector<std::optional<std::string>> items;
    // Read in place: the buffer only borrows the map's bytes.
    Buffer bytes(reinterpret_cast<unsigned char*>(const_cast<char*>(cmap.constData())),
                 size_t(cmap.size()));
    const auto input = std::make_shared<BufferInputSource>("ToUnicode map", &bytes);
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    for (;;) {
        const QPDFTokenizer::Token t = tokenizer.readToken(input, "ToUnicode map", true);
        const auto type = t.getType();
        if (type == QPDFTokenizer::tt_eof)
            break;
        if (type == QPDFTokenizer::tt_word || type == QPDFTokenizer::tt_bad) {
            if (section == Section::Char) {
                for (std::size_t i = 0; i + 1 < items.size(); i += 2)
                    if (items[i] && items[i + 1])
                        add(codeOf(*items[i]), *items[i + 1]);
            } else if (section == Section::Range) {
                for (std::size_t i = 0; i + 2 < items.size();) {
                    if (!items[i] || !items[i + 1]) {
                        ++i;
                        continue;
                    }
                    const int low = codeOf(*items[i]), high = codeOf(*items[i + 1]);
                    if (items[i + 2]) {
                        // Each code's value is the first one with its last
                        // byte counted up.
                        std::string value = *items[i + 2];
                        for (int code = low;
                             low >= 0 && code <= high && code - low < 256 && !value.empty();
                             ++code) {
                            add(code, value);
                            value.back() = char(static_cast<unsigned char>(value.back()) + 1);
                        }
                        i += 3;
                    } else {
                        // An array: nullopt, its strings, nullopt.
                        std::size_t j = i + 3;
                        for (int code = low; j < items.size() && items[j]; ++j, ++code)
                            if (low >= 0 && code <= high)
                                add(code, *items[j]);
                        i = j + 1;
                    }
                }
            }
            items.clear();
            section = t.getValue() == "beginbfchar"    ? Section::Char
                      : t.getValue() == "beginbfrange" ? Section::Range
                                                       : Section::None;
        } else if (section != Section::None) {
            if (type == QPDFTokenizer::tt_string)
                items.push_back(t.getValue());
            else if (type == QPDFTokenizer::tt_array_open || type == QPDFTokenizer::tt_array_close)
                items.push_back(std::nullopt);
        }
    }
    return entries;
}

QByteArray postScript(const MultiUnitValues& values)
{
    if (values.fonts.isEmpty())
        return {};
    QByteArray text = "userdict /QuillmerUnicode <<\n";
    for (auto font = values.fonts.begin(); font != values.fonts.end(); ++font) {
        QByteArray name;
        for (char c : font.key()) {
            if (c == '(' || c == ')' || c == '\\')
                name += '\\';
            name += c;
        }
        text += "(" + name + ") <<";
        for (auto entry = font->begin(); entry != font->end(); ++entry)
            text += ' ' + QByteArray::number(entry.key()) + " <" + entry.value().toHex() + '>';
        text += " >>\n";
    }
    return text + ">> put\n";
}

} // namespace quillmer::printqueue::charactermaps
