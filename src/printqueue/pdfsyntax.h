#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>
#include <system_error>

// The tokens of PDF page contents and of the CMaps in a PDF (PostScript's
// syntax without procedures), as the printer queue reads its spools:
// numbers, names, strings, brackets, dictionary marks and operators, each
// with where it stands in the text.
namespace quillmer::printqueue::pdfsyntax {

inline bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

inline bool isDelimiter(char c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' ||
           c == '}' || c == '/' || c == '%';
}

// One token; text views the text being read.
struct Token
{
    enum Kind
    {
        Number,
        Name,
        String,
        ArrayOpen,
        ArrayClose,
        DictOpen,
        DictClose,
        Operator,
        End
    };
    Kind kind = End;
    QByteArrayView text; // a name's or operator's characters; a string as written
    double number = 0;
    qsizetype start = 0, end = 0;
};

// Reads tokens from data, which must outlive it, to the end; any bytes.
class Lexer
{
public:
    explicit Lexer(const QByteArray& data) : m_data(data) {}

    Token next()
    {
        skipSpace();
        Token t;
        t.start = m_at;
        if (m_at >= m_data.size()) {
            t.end = m_at;
            return t;
        }
        const char c = m_data[m_at];
        if (c == '(') {
            t.kind = Token::String;
            skipLiteralString();
        } else if (c == '<' && peek(1) == '<') {
            t.kind = Token::DictOpen;
            m_at += 2;
        } else if (c == '>' && peek(1) == '>') {
            t.kind = Token::DictClose;
            m_at += 2;
        } else if (c == '<') {
            t.kind = Token::String;
            const qsizetype end = m_data.indexOf('>', m_at);
            m_at = end < 0 ? m_data.size() : end + 1;
        } else if (c == '[' || c == ']') {
            t.kind = c == '[' ? Token::ArrayOpen : Token::ArrayClose;
            ++m_at;
        } else if (c == '/') {
            ++m_at;
            t.kind = Token::Name;
            t.text = regular();
        } else if (c == '{' || c == '}' || c == ')' || c == '>') {
            t.kind = Token::Operator; // stray: taken as an operator nobody knows
            ++m_at;
        } else {
            t.text = regular();
            const char* first = t.text.data();
            const char* last = first + t.text.size();
            if (first != last && *first == '+')
                ++first;
            const auto [end, error] = std::from_chars(first, last, t.number);
            t.kind = error == std::errc() && end == last ? Token::Number : Token::Operator;
        }
        t.end = m_at;
        if (t.kind == Token::String)
            t.text = QByteArrayView(m_data).sliced(t.start, t.end - t.start);
        return t;
    }

    // After BI: past the image's data and its EI.
    void skipInlineImage()
    {
        for (Token t = next(); t.kind != Token::End; t = next())
            if (t.kind == Token::Operator && t.text == "ID")
                break;
        ++m_at; // the single white-space character after ID
        while (m_at + 1 < m_data.size()) {
            if (m_data[m_at] == 'E' && m_data[m_at + 1] == 'I' && m_at > 0 &&
                isSpace(m_data[m_at - 1]) &&
                (m_at + 2 >= m_data.size() || isSpace(m_data[m_at + 2]) ||
                 isDelimiter(m_data[m_at + 2]))) {
                m_at += 2;
                return;
            }
            ++m_at;
        }
        m_at = m_data.size();
    }

private:
    char peek(qsizetype ahead) const
    {
        return m_at + ahead < m_data.size() ? m_data[m_at + ahead] : '\0';
    }

    void skipSpace()
    {
        while (m_at < m_data.size()) {
            if (isSpace(m_data[m_at]))
                ++m_at;
            else if (m_data[m_at] == '%')
                while (m_at < m_data.size() && m_data[m_at] != '\n' && m_data[m_at] != '\r')
                    ++m_at;
            else
                break;
        }
    }

    QByteArrayView regular()
    {
        const qsizetype start = m_at;
        while (m_at < m_data.size() && !isSpace(m_data[m_at]) && !isDelimiter(m_data[m_at]))
            ++m_at;
        return QByteArrayView(m_data).sliced(start, m_at - start);
    }

    void skipLiteralString()
    {
        int depth = 0;
        ++m_at;
        while (m_at < m_data.size()) {
            const char c = m_data[m_at++];
            if (c == '\\')
                ++m_at;
            else if (c == '(')
                ++depth;
            else if (c == ')' && depth-- == 0)
                break;
        }
        m_at = std::min(m_at, m_data.size());
    }

    const QByteArray& m_data;
    qsizetype m_at = 0;
};

// The bytes of a string as written, "(...)" or "<...>", into bytes.
void stringBytes(QByteArrayView written, std::string& bytes);

} // namespace quillmer::printqueue::pdfsyntax
