#include "tarvane/store/xml_entities.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>

#include "platform/ansi_text.h"
#include "platform/codepage.h"
#include "tarvane/store/xml_tokenizer.h"

namespace tarvane {
namespace {

struct NamedEntity {
    const char* name;
    char32_t codePoint;
};

// Latin-1 names, U+00A0 to U+00FF in order.
constexpr std::array<const char*, 96> kLatin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

// Symbols, mathematical and special characters of HTML 4.01, plus "apos".
constexpr NamedEntity kOtherEntities[] = {
    {"quot", 34},      {"amp", 38},      {"apos", 39},      {"lt", 60},       {"gt", 62},       {"OElig", 338},
    {"oelig", 339},    {"Scaron", 352},  {"scaron", 353},   {"Yuml", 376},    {"fnof", 402},    {"circ", 710},
    {"tilde", 732},    {"Alpha", 913},   {"Beta", 914},     {"Gamma", 915},   {"Delta", 916},   {"Epsilon", 917},
    {"Zeta", 918},     {"Eta", 919},     {"Theta", 920},    {"Iota", 921},    {"Kappa", 922},   {"Lambda", 923},
    {"Mu", 924},       {"Nu", 925},      {"Xi", 926},       {"Omicron", 927}, {"Pi", 928},      {"Rho", 929},
    {"Sigma", 931},    {"Tau", 932},     {"Upsilon", 933},  {"Phi", 934},     {"Chi", 935},     {"Psi", 936},
    {"Omega", 937},    {"alpha", 945},   {"beta", 946},     {"gamma", 947},   {"delta", 948},   {"epsilon", 949},
    {"zeta", 950},     {"eta", 951},     {"theta", 952},    {"iota", 953},    {"kappa", 954},   {"lambda", 955},
    {"mu", 956},       {"nu", 957},      {"xi", 958},       {"omicron", 959}, {"pi", 960},      {"rho", 961},
    {"sigmaf", 962},   {"sigma", 963},   {"tau", 964},      {"upsilon", 965}, {"phi", 966},     {"chi", 967},
    {"psi", 968},      {"omega", 969},   {"thetasym", 977}, {"upsih", 978},   {"piv", 982},     {"ensp", 8194},
    {"emsp", 8195},    {"thinsp", 8201}, {"zwnj", 8204},    {"zwj", 8205},    {"lrm", 8206},    {"rlm", 8207},
    {"ndash", 8211},   {"mdash", 8212},  {"lsquo", 8216},   {"rsquo", 8217},  {"sbquo", 8218},  {"ldquo", 8220},
    {"rdquo", 8221},   {"bdquo", 8222},  {"dagger", 8224},  {"Dagger", 8225}, {"bull", 8226},   {"hellip", 8230},
    {"permil", 8240},  {"prime", 8242},  {"Prime", 8243},   {"lsaquo", 8249}, {"rsaquo", 8250}, {"oline", 8254},
    {"frasl", 8260},   {"euro", 8364},   {"image", 8465},   {"weierp", 8472}, {"real", 8476},   {"trade", 8482},
    {"alefsym", 8501}, {"larr", 8592},   {"uarr", 8593},    {"rarr", 8594},   {"darr", 8595},   {"harr", 8596},
    {"crarr", 8629},   {"lArr", 8656},   {"uArr", 8657},    {"rArr", 8658},   {"dArr", 8659},   {"hArr", 8660},
    {"forall", 8704},  {"part", 8706},   {"exist", 8707},   {"empty", 8709},  {"nabla", 8711},  {"isin", 8712},
    {"notin", 8713},   {"ni", 8715},     {"prod", 8719},    {"sum", 8721},    {"minus", 8722},  {"lowast", 8727},
    {"radic", 8730},   {"prop", 8733},   {"infin", 8734},   {"ang", 8736},    {"and", 8743},    {"or", 8744},
    {"cap", 8745},     {"cup", 8746},    {"int", 8747},     {"there4", 8756}, {"sim", 8764},    {"cong", 8773},
    {"asymp", 8776},   {"ne", 8800},     {"equiv", 8801},   {"le", 8804},     {"ge", 8805},     {"sub", 8834},
    {"sup", 8835},     {"nsub", 8836},   {"sube", 8838},    {"supe", 8839},   {"oplus", 8853},  {"otimes", 8855},
    {"perp", 8869},    {"sdot", 8901},   {"lceil", 8968},   {"rceil", 8969},  {"lfloor", 8970}, {"rfloor", 8971},
    {"lang", 9001},    {"rang", 9002},   {"loz", 9674},     {"spades", 9824}, {"clubs", 9827},  {"hearts", 9829},
    {"diams", 9830},
};

constexpr std::size_t kMaxNameLength = 9;
constexpr std::size_t kMaxReferenceBody = 10;  // the ';' must come within this many characters

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

// The lookup is done in lower case; where a capital and a small name fold together (Agrave and
// agrave, Prime and prime, Dagger and dagger) the all-small name keeps its own character.
const std::unordered_map<std::string, char32_t>& EntityTable() {
    static const std::unordered_map<std::string, char32_t> table = [] {
        std::unordered_map<std::string, char32_t> built;
        auto add = [&built](std::string_view name, char32_t codePoint) {
            const std::string key = Lowered(name);
            if (key == name) {
                built[key] = codePoint;
            } else {
                built.try_emplace(key, codePoint);
            }
        };
        for (std::size_t i = 0; i < kLatin1Names.size(); ++i) {
            add(kLatin1Names[i], static_cast<char32_t>(0xA0 + i));
        }
        for (const NamedEntity& entity : kOtherEntities) {
            add(entity.name, entity.codePoint);
        }
        return built;
    }();
    return table;
}

// The code point in code page 936, or empty when it has no representation there.
bool AppendCodePoint(char32_t codePoint, std::string& out) {
    if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return false;
    }
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
        return true;
    }
    if (codePoint > 0xFFFF) {
        // Code page 936 holds nothing outside the basic plane.
        return false;
    }
    const std::u16string wide(1, static_cast<char16_t>(codePoint));
    bool usedDefault = false;
    bool ok = false;
    const std::string bytes = platform::WideToMultiByte(platform::kAnsiCodePage, wide, &usedDefault, &ok);
    if (!ok || usedDefault || bytes.empty()) {
        return false;
    }
    out += bytes;
    return true;
}

bool ParseNumber(std::string_view digits, int base, char32_t& value) {
    if (digits.empty()) {
        return false;
    }
    std::uint32_t result = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return false;
        }
        result = result * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
        if (result > 0x10FFFF) {
            return false;
        }
    }
    value = result;
    return true;
}

// Decodes the reference body (between '&' and ';') into `out`; false leaves it as written.
bool DecodeReference(std::string_view body, std::string& out) {
    if (body == "lt") {
        out += '<';
    } else if (body == "gt") {
        out += '>';
    } else if (body == "amp") {
        out += '&';
    } else if (body == "quot") {
        out += '"';
    } else if (body == "apos") {
        out += '\'';
    } else if (!body.empty() && body[0] == '#') {
        char32_t codePoint = 0;
        const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        return ParseNumber(body.substr(hex ? 2 : 1), hex ? 16 : 10, codePoint) && AppendCodePoint(codePoint, out);
    } else {
        const char32_t codePoint = LookupEntityName(body);
        return codePoint != 0 && AppendCodePoint(codePoint, out);
    }
    return true;
}

}  // namespace

char32_t LookupEntityName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameLength) {
        return 0;
    }
    const auto& table = EntityTable();
    const auto found = table.find(Lowered(name));
    return found == table.end() ? 0 : found->second;
}

std::string DecodeXmlReferences(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    std::size_t i = 0;
    while (i < raw.size()) {
        // Everything up to the next '&' that is a character of its own is copied as it stands.
        const std::size_t ampersand = FindXmlChar(raw, i, '&');
        if (ampersand == std::string_view::npos) {
            out.append(raw.substr(i));
            break;
        }
        out.append(raw.substr(i, ampersand - i));
        i = ampersand;
        const std::string_view window = raw.substr(i + 1, kMaxReferenceBody);
        const std::size_t semicolon = window.find(';');
        if (semicolon != std::string_view::npos && DecodeReference(window.substr(0, semicolon), out)) {
            i += semicolon + 2;
            continue;
        }
        out += '&';
        ++i;
    }
    return out;
}

namespace {

// XML has no control characters but the three blanks, and other readers refuse a file with one: such
// a character stands for the default character.
bool IsUnstorableControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

std::string Escape(std::string_view text, bool forAttribute) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            // A lead byte without its trail would swallow the quote or '<' after it when the file
            // is read back; it, and any byte that is no character, stands for the default character.
            const std::size_t length = platform::CharLength936(text, i);
            if (platform::IsMapped936(text, i, length)) {
                out.append(text.substr(i, length));
            } else {
                out += '?';
            }
            i += length;
            continue;
        }
        if (IsUnstorableControl(c)) {
            out += '?';
            ++i;
            continue;
        }
        if (forAttribute && (c == '\t' || c == '\n' || c == '\r')) {
            // Blanks in a value travel as references, or a reader would turn them into spaces.
            out += "&#" + std::to_string(static_cast<int>(c)) + ";";
            ++i;
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += forAttribute ? "&quot;" : "\"";
                break;
            case '\'':
                out += forAttribute ? "&apos;" : "'";
                break;
            default:
                out += c;
                break;
        }
        ++i;
    }
    return out;
}

}  // namespace

std::string StorableText(std::string_view value) {
    std::string text = platform::Valid936(value);
    std::replace_if(text.begin(), text.end(), IsUnstorableControl, '?');
    return text;
}

std::string EscapeXmlAttribute(std::string_view value) {
    return Escape(value, true);
}

std::string EscapeXmlContent(std::string_view text) {
    return Escape(text, false);
}

}  // namespace tarvane
