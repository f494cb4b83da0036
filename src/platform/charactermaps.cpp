#include "platform/charactermaps.h"

#include <cctype>

namespace quillmer::platform::charactermaps {

namespace {

// The tokens of a CMap that its mapping sections are made of: hex strings
// (as bytes), brackets and words.
struct Token
{
    enum Kind
    {
        Hex,
        Open,
        Close,
        Word
    } kind;
    QByteArray text;
};

QList<Token> tokens(const QByteArray& text)
{
    QList<Token> list;
    for (qsizetype i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '%') {
            while (i < text.size() && text[i] != '\n' && text[i] != '\r')
                ++i;
        } else if (c == '<' && i + 1 < text.size() && text[i + 1] == '<') {
            list.append(Token{Token::Word, "<<"});
            i += 2;
        } else if (c == '<') {
            const qsizetype end = text.indexOf('>', i);
            if (end < 0)
                break;
            QByteArray digits;
            for (qsizetype j = i + 1; j < end; ++j)
                if (std::isxdigit(static_cast<unsigned char>(text[j])))
                    digits += text[j];
            list.append(Token{Token::Hex, QByteArray::fromHex(digits)});
            i = end + 1;
        } else if (c == '[' || c == ']') {
            list.append(Token{c == '[' ? Token::Open : Token::Close, QByteArray()});
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else {
            const qsizetype start = i;
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) &&
                   !QByteArray("<>[]%").contains(text[i]))
                ++i;
            if (i == start)
                ++i; // a lone '>'
            list.append(Token{Token::Word, text.mid(start, i - start)});
        }
    }
    return list;
}

int codeOf(const QByteArray& bytes)
{
    int code = 0;
    for (char b : bytes)
        code = code << 8 | static_cast<unsigned char>(b);
    return code;
}

} // namespace

MultiUnitEntries multiUnitEntries(const QByteArray& cmap)
{
    MultiUnitEntries entries;
    const auto add = [&](int code, const QByteArray& value) {
        if (value.size() > 2 && value.size() % 2 == 0)
            entries.insert(code, value);
    };
    const QList<Token> list = tokens(cmap);
    QByteArray section;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const Token& t = list[i];
        if (t.kind == Token::Word) {
            if (t.text == "beginbfchar" || t.text == "beginbfrange")
                section = t.text;
            else if (t.text.startsWith("end"))
                section.clear();
            continue;
        }
        if (section == "beginbfchar" && t.kind == Token::Hex && i + 1 < list.size() &&
            list[i + 1].kind == Token::Hex) {
            add(codeOf(t.text), list[i + 1].text);
            ++i;
        } else if (section == "beginbfrange" && t.kind == Token::Hex && i + 2 < list.size() &&
                   list[i + 1].kind == Token::Hex) {
            const int low = codeOf(t.text);
            const int high = codeOf(list[i + 1].text);
            if (list[i + 2].kind == Token::Hex) {
                // Each code's value is the first one with its last byte
                // counted up.
                QByteArray value = list[i + 2].text;
                for (int code = low; code <= high && code - low < 256 && !value.isEmpty(); ++code) {
                    add(code, value);
                    value.back() = char(static_cast<unsigned char>(value.back()) + 1);
                }
                i += 2;
            } else if (list[i + 2].kind == Token::Open) {
                qsizetype j = i + 3;
                for (int code = low; j < list.size() && list[j].kind == Token::Hex; ++j, ++code)
                    if (code <= high)
                        add(code, list[j].text);
                i = j;
            }
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

} // namespace quillmer::platform::charactermaps
