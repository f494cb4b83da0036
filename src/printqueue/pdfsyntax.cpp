#include "printqueue/pdfsyntax.h"

namespace quillmer::printqueue::pdfsyntax {

void stringBytes(QByteArrayView written, std::string& bytes)
{
    bytes.clear();
    if (written.startsWith('<')) {
        int high = -1;
        for (char c : written) {
            const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                              : c >= 'a' && c <= 'f'                      ? c - 'a' + 10
                              : c >= 'A' && c <= 'F'                      ? c - 'A' + 10
                                                                          : -1;
            if (digit < 0)
                continue;
            if (high < 0) {
                high = digit;
            } else {
                bytes += char(high << 4 | digit);
                high = -1;
            }
        }
        if (high >= 0)
            bytes += char(high << 4);
        return;
    }
    int depth = 0;
    for (qsizetype i = 1; i < written.size(); ++i) {
        const char c = written[i];
        if (c == '\\' && i + 1 < written.size()) {
            const char e = written[++i];
            switch (e) {
            case 'n':
                bytes += '\n';
                break;
            case 'r':
                bytes += '\r';
                break;
            case 't':
                bytes += '\t';
                break;
            case 'b':
                bytes += '\b';
                break;
            case 'f':
                bytes += '\f';
                break;
            case '\r':
                if (i + 1 < written.size() && written[i + 1] == '\n')
                    ++i;
                break;
            case '\n':
                break;
            default:
                if (e >= '0' && e <= '7') {
                    int value = e - '0';
                    for (int k = 0; k < 2 && i + 1 < written.size() && written[i + 1] >= '0' &&
                                    written[i + 1] <= '7';
                         ++k)
                        value = value * 8 + (written[++i] - '0');
                    bytes += char(value);
                } else {
                    bytes += e;
                }
            }
        } else if (c == '(') {
            ++depth;
            bytes += c;
        } else if (c == ')') {
            if (depth-- == 0)
                break;
            bytes += c;
        } else {
            bytes += c;
        }
    }
}

} // namespace quillmer::printqueue::pdfsyntax
