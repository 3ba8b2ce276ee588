#include "platform/desktop_entry.h"

namespace platform {

std::string QuotedExecArgument(const std::string& argument) {
    // Inside the quotes '"', '`', '$' and '\' take a backslash; the value's own escaping then
    // doubles every backslash, and '%' stands for a field code unless doubled.
    std::string quoted = "\"";
    for (char c : argument) {
        switch (c) {
            case '"':
            case '`':
            case '$':
                quoted += "\\\\";
                quoted += c;
                break;
            case '\\':
                quoted += "\\\\\\\\";
                break;
            case '%':
                quoted += "%%";
                break;
            default:
                quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

}  // namespace platform
