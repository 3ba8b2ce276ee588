#include "tarvane/store/xml_document.h"

#include <algorithm>
#include <cstdio>

#include "platform/ansi_text.h"
#include "tarvane/store/xml_entities.h"
#include "tarvane/store/xml_tokenizer.h"

namespace tarvane {
namespace {

constexpr std::uint32_t kDepthMask = 0xFFFF;
constexpr std::uint32_t kFirstChildFlag = 1u << 16;
constexpr std::uint32_t kFreeFlag = 1u << 17;
constexpr std::uint32_t kNotEndedFlag = 1u << 18;
constexpr std::uint32_t kIllFormedFlag = 1u << 19;
constexpr std::uint32_t kNotWellFormedFlag = 1u << 20;  // record 0 only

constexpr std::uint32_t kStartTagBits = 22;
constexpr std::size_t kMaxStartTagLength = (1u << kStartTagBits) - 1;
constexpr std::size_t kMaxEndTagLength = (1u << (32 - kStartTagBits)) - 1;
constexpr std::size_t kMaxRecords = 0xFFFFFFFFu;

std::uint32_t StartTagLength(std::uint32_t tagLengths) {
    return tagLengths & kMaxStartTagLength;
}
std::uint32_t EndTagLength(std::uint32_t tagLengths) {
    return tagLengths >> kStartTagBits;
}
std::uint32_t TagLengths(std::size_t startTag, std::size_t endTag) {
    return static_cast<std::uint32_t>(startTag) | static_cast<std::uint32_t>(endTag << kStartTagBits);
}

// A name the tokenizer reads back whole: a name start, no character that ends a tag name, and
// no lead byte left without its trail.
bool IsValidElementName(std::string_view name) {
    if (name.empty() || !IsXmlNameStart(name[0])) {
        return false;
    }
    const std::string tag = "<" + std::string(name) + ">";
    return XmlTagName(tag) == name;
}

bool IsValidAttributeName(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    for (std::size_t pos = 0; pos < name.size();) {
        const std::size_t length = XmlCharLength(name, pos);
        const char c = name[pos];
        if (length == 1) {
            if (IsXmlWhiteSpace(c) || c == '=' || c == '/' || c == '>' || c == '?') {
                return false;
            }
            if (platform::IsLeadByte936(static_cast<unsigned char>(c))) {
                return false;  // lead byte cut off at the end
            }
        }
        pos += length;
    }
    return true;
}

// Whether the text ends in a lead byte without its trail, which would swallow what follows.
bool EndsInsideCharacter(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = XmlCharLength(text, pos);
        if (length == 1 && pos + 1 == text.size() && platform::IsLeadByte936(static_cast<unsigned char>(text[pos]))) {
            return true;
        }
        pos += length;
    }
    return false;
}

}  // namespace

XmlDocument::~XmlDocument() = default;

XmlDocument::Record& XmlDocument::At(std::uint32_t number) {
    return blocks_[number >> kBlockShift][number & (kBlockSize - 1)];
}

const XmlDocument::Record& XmlDocument::At(std::uint32_t number) const {
    return blocks_[number >> kBlockShift][number & (kBlockSize - 1)];
}

void XmlDocument::ResetPosition() {
    parent_ = 0;
    current_ = 0;
    child_ = 0;
}

void XmlDocument::ReleaseIndex() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    capacity_ = 0;
    used_ = 0;
    freeList_ = 0;
}

void XmlDocument::ReserveIndex(std::size_t records) {
    records = std::min(records, kMaxRecords + 1);
    if (records <= capacity_) {
        return;
    }
    // Full blocks never move; only a partly allocated last block is reallocated to its new size.
    std::size_t remaining = records;
    for (std::size_t block = 0; remaining > 0; ++block) {
        const std::size_t want = std::min<std::size_t>(remaining, kBlockSize);
        const std::size_t had =
            block * kBlockSize < capacity_ ? std::min<std::size_t>(capacity_ - block * kBlockSize, kBlockSize) : 0;
        if (want > had) {
            // Left uninitialised: NewRecord writes each record as it is taken, and nothing reads
            // past the used ones, so the pages of a generous estimate are never touched.
            auto fresh = std::make_unique_for_overwrite<Record[]>(want);
            if (had > 0) {
                const std::size_t first = block * kBlockSize;
                const std::size_t taken = used_ > first ? std::min<std::size_t>(used_ - first, had) : 0;
                std::copy(blocks_[block].get(), blocks_[block].get() + taken, fresh.get());
                blocks_[block] = std::move(fresh);
            } else {
                blocks_.push_back(std::move(fresh));
            }
        }
        remaining -= want;
    }
    capacity_ = records;
}

std::uint32_t XmlDocument::NewRecord() {
    if (used_ == kMaxRecords) {
        return 0;
    }
    if (used_ == capacity_) {
        ReserveIndex(std::max<std::size_t>(used_ + used_ / 2, 8));
    }
    const std::uint32_t number = used_++;
    At(number) = Record{};
    return number;
}

bool XmlDocument::SetText() {
    log_.Clear();
    std::string().swap(text_);
    ReleaseIndex();
    ResetPosition();
    return false;
}

bool XmlDocument::SetText(std::string_view text) {
    return SetText(std::string(text));
}

bool XmlDocument::SetText(std::string&& text) {
    log_.Clear();
    text_ = std::move(text);
    return Parse();
}

bool XmlDocument::LoadFile(const std::string& path) {
    log_.Clear();
    std::string text;
    if (!ReadXmlFile(path, flags_, text, log_)) {
        std::string().swap(text_);
        ReleaseIndex();
        ResetPosition();
        return false;
    }
    text_ = std::move(text);
    return Parse();
}

bool XmlDocument::SaveFile(const std::string& path) {
    log_.Clear();
    return WriteXmlFile(path, text_, flags_, log_);
}

void XmlDocument::Report(std::string_view word, std::string_view textName, std::string_view textValue,
                         std::string_view numberName, std::size_t number) {
    XmlResultLog::Entry entry;
    entry.word = word;
    entry.textName = textName;
    entry.textValue = textValue;
    if (!numberName.empty()) {
        entry.numberName = numberName;
        entry.number = static_cast<long long>(number);
    }
    log_.Add(entry);
    if (HasIndex()) {
        At(0).flags |= kNotWellFormedFlag;
    }
}

bool XmlDocument::Parse() {
    ResetPosition();
    ReleaseIndex();
    if (text_.empty()) {
        return false;
    }
    if (text_.size() > std::min(maxTextLength_, kMaxTextLength)) {
        // Offsets would not fit the index: keep nothing rather than a wrong index.
        const std::size_t length = text_.size();
        std::string().swap(text_);
        Report("text_too_long", {}, {}, "length", length);
        return false;
    }
    ReserveIndex(text_.size() / 64 + 8);
    NewRecord();  // record 0: the document

    std::vector<std::uint32_t> open;
    XmlTokenizer tokenizer(text_);
    XmlNode node;
    while (tokenizer.Next(node)) {
        const std::string_view nodeText = std::string_view(text_).substr(node.offset, node.length);
        switch (node.kind) {
            case XmlNodeKind::kStartTag: {
                if (node.length > kMaxStartTagLength) {
                    Report("tag_too_long", {}, {}, "offset", node.offset);
                    break;
                }
                const std::uint32_t number = NewRecord();
                if (number == 0) {
                    Report("tag_too_long", {}, {}, "offset", node.offset);
                    break;
                }
                Record& record = At(number);
                record.start = static_cast<std::uint32_t>(node.offset);
                record.length = static_cast<std::uint32_t>(node.length);
                record.tagLengths = TagLengths(node.length, 0);
                LinkLast(open.empty() ? 0 : open.back(), number);
                if (!node.emptyElement) {
                    open.push_back(number);
                }
                break;
            }
            case XmlNodeKind::kEndTag: {
                const std::string_view name = XmlTagName(nodeText);
                if (node.length > kMaxEndTagLength) {
                    Report("tag_too_long", {}, {}, "offset", node.offset);
                    break;
                }
                std::size_t match = open.size();
                while (match > 0 && ElementName(open[match - 1]) != name) {
                    --match;
                }
                if (match == 0) {
                    Report("lone_end_tag", "tagname", name, "offset", node.offset);
                    break;
                }
                CloseUnended(match, open);
                Record& record = At(open.back());
                record.length = static_cast<std::uint32_t>(node.offset + node.length - record.start);
                record.tagLengths = TagLengths(StartTagLength(record.tagLengths), node.length);
                open.pop_back();
                break;
            }
            case XmlNodeKind::kSyntaxError:
                if (!open.empty()) {
                    At(open.back()).flags |= kIllFormedFlag;
                }
                if (node.errorType.empty()) {
                    Report(node.errorWord, {}, {}, "offset", node.offset);
                } else {
                    Report(node.errorWord, "type", node.errorType, "offset", node.offset);
                }
                break;
            default:
                break;
        }
    }
    CloseUnended(0, open);

    Record& document = At(0);
    document.length = static_cast<std::uint32_t>(text_.size());
    SetDepthsAndFirstFlags();
    const std::uint32_t root = document.firstChild;
    if (root == 0) {
        XmlResultLog::Entry entry;
        entry.word = "no_root_element";
        log_.Add(entry);
    } else if (At(root).nextSibling != 0) {
        XmlResultLog::Entry entry;
        entry.word = "root_has_sibling";
        log_.Add(entry);
    }
    return IsWellFormed();
}

// Marks every open element above the first `keep` ones as not ended, top down. Their children
// become following siblings: all of them end up, in text order, as children of the element that
// stays open below them (record 0 when none does).
void XmlDocument::CloseUnended(std::size_t keep, std::vector<std::uint32_t>& open) {
    if (open.size() <= keep) {
        return;
    }
    for (std::size_t i = open.size(); i > keep; --i) {
        Record& record = At(open[i - 1]);
        record.length = StartTagLength(record.tagLengths);
        record.tagLengths = TagLengths(record.length, 0);
        record.flags |= kNotEndedFlag;
        Report("unended_start_tag", "tagname", ElementName(open[i - 1]), "offset", record.start);
    }
    const std::uint32_t target = keep == 0 ? 0 : open[keep - 1];
    for (std::size_t i = keep; i < open.size(); ++i) {
        Record& unended = At(open[i]);
        const std::uint32_t first = unended.firstChild;
        if (first == 0) {
            continue;
        }
        // Each unended element is the last child of the one below it, so its children go to
        // the end of the target's list.
        const std::uint32_t last = At(first).previousSibling;
        for (std::uint32_t child = first; child != 0; child = At(child).nextSibling) {
            At(child).parent = target;
        }
        unended.firstChild = 0;
        const std::uint32_t targetFirst = At(target).firstChild;
        const std::uint32_t targetLast = At(targetFirst).previousSibling;
        At(targetLast).nextSibling = first;
        At(first).previousSibling = targetLast;
        At(targetFirst).previousSibling = last;
    }
    open.resize(keep);
}

// Depths and first-child marks in one walk over the finished tree.
void XmlDocument::SetDepthsAndFirstFlags() {
    std::uint32_t depth = 0;
    std::uint32_t number = At(0).firstChild;
    while (number != 0) {
        Record& record = At(number);
        record.flags = (record.flags & ~(kDepthMask | kFirstChildFlag)) | std::min(depth, kDepthMask);
        if (At(record.parent).firstChild == number) {
            record.flags |= kFirstChildFlag;
        }
        if (record.firstChild != 0) {
            ++depth;
            number = record.firstChild;
            continue;
        }
        while (number != 0 && At(number).nextSibling == 0) {
            number = At(number).parent;
            if (number != 0) {
                --depth;
            }
        }
        if (number != 0) {
            number = At(number).nextSibling;
        }
    }
}

void XmlDocument::LinkLast(std::uint32_t parent, std::uint32_t child) {
    Record& record = At(child);
    record.parent = parent;
    record.nextSibling = 0;
    const std::uint32_t first = At(parent).firstChild;
    if (first == 0) {
        At(parent).firstChild = child;
        record.previousSibling = child;
        return;
    }
    const std::uint32_t last = At(first).previousSibling;
    At(last).nextSibling = child;
    record.previousSibling = last;
    At(first).previousSibling = child;
}

void XmlDocument::LinkFirst(std::uint32_t parent, std::uint32_t child) {
    const std::uint32_t first = At(parent).firstChild;
    if (first == 0) {
        LinkLast(parent, child);
        return;
    }
    LinkBefore(first, child);
}

void XmlDocument::LinkAfter(std::uint32_t sibling, std::uint32_t child) {
    const std::uint32_t next = At(sibling).nextSibling;
    if (next == 0) {
        LinkLast(At(sibling).parent, child);
        return;
    }
    LinkBefore(next, child);
}

void XmlDocument::LinkBefore(std::uint32_t sibling, std::uint32_t child) {
    Record& before = At(sibling);
    const std::uint32_t parent = before.parent;
    Record& record = At(child);
    record.parent = parent;
    record.nextSibling = sibling;
    if (At(parent).firstChild == sibling) {
        record.previousSibling = before.previousSibling;  // the last child
        before.previousSibling = child;
        before.flags &= ~kFirstChildFlag;
        record.flags |= kFirstChildFlag;
        At(parent).firstChild = child;
        return;
    }
    record.previousSibling = before.previousSibling;
    At(before.previousSibling).nextSibling = child;
    before.previousSibling = child;
}

void XmlDocument::Unlink(std::uint32_t number) {
    Record& record = At(number);
    Record& parent = At(record.parent);
    const std::uint32_t next = record.nextSibling;
    if (parent.firstChild == number) {
        parent.firstChild = next;
        if (next != 0) {
            At(next).previousSibling = record.previousSibling;
            At(next).flags |= kFirstChildFlag;
        }
    } else {
        At(record.previousSibling).nextSibling = next;
        if (next != 0) {
            At(next).previousSibling = record.previousSibling;
        } else {
            At(parent.firstChild).previousSibling = record.previousSibling;
        }
    }
    record.nextSibling = 0;
    record.previousSibling = 0;
}

void XmlDocument::FreeSubtree(std::uint32_t number) {
    std::vector<std::uint32_t> pending{number};
    while (!pending.empty()) {
        const std::uint32_t current = pending.back();
        pending.pop_back();
        Record& record = At(current);
        for (std::uint32_t child = record.firstChild; child != 0; child = At(child).nextSibling) {
            pending.push_back(child);
        }
        record.flags = kFreeFlag;
        record.firstChild = 0;
        record.nextSibling = freeList_;
        freeList_ = current;
    }
}

std::uint32_t XmlDocument::RootElement() const {
    return HasIndex() ? At(0).firstChild : 0;
}

bool XmlDocument::IsWellFormed() const {
    const std::uint32_t root = RootElement();
    return root != 0 && At(root).nextSibling == 0 && (At(0).flags & kNotWellFormedFlag) == 0;
}

bool XmlDocument::GetElementInfo(std::uint32_t number, ElementInfo& info) const {
    if (number == 0 || number >= used_ || (At(number).flags & kFreeFlag) != 0) {
        return false;
    }
    const Record& record = At(number);
    info.start = record.start;
    info.length = record.length;
    info.startTagLength = StartTagLength(record.tagLengths);
    info.endTagLength = EndTagLength(record.tagLengths);
    info.depth = record.flags & kDepthMask;
    info.parent = record.parent;
    info.firstChild = record.firstChild;
    info.nextSibling = record.nextSibling;
    info.previousSibling = record.previousSibling;
    info.notEnded = (record.flags & kNotEndedFlag) != 0;
    info.illFormed = (record.flags & kIllFormedFlag) != 0;
    return true;
}

std::string_view XmlDocument::ElementName(std::uint32_t number) const {
    if (number == 0 || number >= used_) {
        return {};
    }
    const Record& record = At(number);
    return XmlTagName(std::string_view(text_).substr(record.start, StartTagLength(record.tagLengths)));
}

std::string XmlDocument::IndexOutline() const {
    std::string out;
    if (!HasIndex()) {
        return out;
    }
    std::vector<std::uint32_t> pending;
    for (std::uint32_t child = At(0).firstChild; child != 0; child = At(child).nextSibling) {
        pending.push_back(child);
    }
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        const std::uint32_t number = pending.back();
        pending.pop_back();
        const Record& record = At(number);
        char line[128];
        std::snprintf(line, sizeof line, "%u %u %u %u %u%s%s\n", record.flags & kDepthMask, record.start, record.length,
                      StartTagLength(record.tagLengths), EndTagLength(record.tagLengths),
                      (record.flags & kNotEndedFlag) != 0 ? " u" : "",
                      (record.flags & kIllFormedFlag) != 0 ? " i" : "");
        out += line;
        const std::size_t mark = pending.size();
        for (std::uint32_t child = record.firstChild; child != 0; child = At(child).nextSibling) {
            pending.push_back(child);
        }
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark), pending.end());
    }
    return out;
}

bool XmlDocument::FindElement(std::string_view name) {
    if (!HasIndex() || (!name.empty() && name[0] == '/')) {
        return false;
    }
    std::uint32_t candidate = current_ != 0 ? At(current_).nextSibling : At(parent_).firstChild;
    for (; candidate != 0; candidate = At(candidate).nextSibling) {
        if (name.empty() || ElementName(candidate) == name) {
            current_ = candidate;
            child_ = 0;
            return true;
        }
    }
    return false;
}

bool XmlDocument::EnterElement() {
    if (current_ == 0) {
        return false;
    }
    parent_ = current_;
    current_ = child_;
    child_ = 0;
    return true;
}

std::string XmlDocument::GetAttribute(std::string_view name) const {
    if (current_ == 0) {
        return {};
    }
    const Record& record = At(current_);
    return ReadXmlAttribute(std::string_view(text_).substr(record.start, StartTagLength(record.tagLengths)), name);
}

bool XmlDocument::SetAttribute(std::string_view name, std::int32_t value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", static_cast<int>(value));
    return SetAttribute(name, std::string_view(digits));
}

bool XmlDocument::SetAttribute(std::string_view name, std::string_view value) {
    if (current_ == 0 || !IsValidAttributeName(name)) {
        return false;
    }
    const Record& record = At(current_);
    const std::size_t startTag = StartTagLength(record.tagLengths);
    const std::string_view tag = std::string_view(text_).substr(record.start, startTag);
    const std::string quoted = "\"" + EscapeXmlAttribute(value) + "\"";

    std::size_t offset = 0;
    std::size_t oldLength = 0;
    std::string piece;
    XmlAttributeSpan span;
    if (FindXmlAttribute(tag, name, span)) {
        if (span.hasValue) {
            offset = span.valueOffset - (span.quote != 0 ? 1 : 0);
            oldLength = span.end - offset;
            piece = quoted;
        } else {
            offset = span.nameOffset + span.nameLength;
            piece = "=" + quoted;
        }
    } else {
        offset = XmlAttributesEnd(tag);
        piece = " " + std::string(name) + "=" + quoted;
    }
    const std::size_t newStartTag = startTag - oldLength + piece.size();
    if (newStartTag > kMaxStartTagLength) {
        return false;
    }
    const std::size_t absolute = record.start + offset;
    const std::uint32_t element = current_;
    if (!ReplaceText(absolute, oldLength, piece)) {
        return false;
    }
    Record& edited = At(element);
    edited.tagLengths = TagLengths(newStartTag, EndTagLength(edited.tagLengths));
    ShiftAfterEdit(element, absolute, static_cast<std::int64_t>(piece.size()) - static_cast<std::int64_t>(oldLength));
    return true;
}

bool XmlDocument::RemoveAttribute(std::string_view name) {
    if (current_ == 0) {
        return false;
    }
    const Record& record = At(current_);
    const std::size_t startTag = StartTagLength(record.tagLengths);
    const std::string_view tag = std::string_view(text_).substr(record.start, startTag);
    XmlAttributeSpan span;
    if (!FindXmlAttribute(tag, name, span)) {
        return false;
    }
    std::size_t offset = span.nameOffset;
    while (offset > 0 &&
           (tag[offset - 1] == ' ' || tag[offset - 1] == '\t' || tag[offset - 1] == '\r' || tag[offset - 1] == '\n')) {
        --offset;
    }
    const std::size_t oldLength = span.end - offset;
    const std::size_t absolute = record.start + offset;
    const std::uint32_t element = current_;
    if (!ReplaceText(absolute, oldLength, {})) {
        return false;
    }
    Record& edited = At(element);
    edited.tagLengths = TagLengths(startTag - oldLength, EndTagLength(edited.tagLengths));
    ShiftAfterEdit(element, absolute, -static_cast<std::int64_t>(oldLength));
    return true;
}

bool XmlDocument::ReplaceText(std::size_t offset, std::size_t oldLength, std::string_view piece) {
    const std::size_t newLength = text_.size() - oldLength + piece.size();
    if (newLength > std::min(maxTextLength_, kMaxTextLength)) {
        return false;
    }
    if (newLength > text_.capacity()) {
        text_.reserve(newLength + newLength / 2 + 128);
    }
    text_.replace(offset, oldLength, piece);
    return true;
}

void XmlDocument::ShiftAfterEdit(std::uint32_t container, std::size_t offset, std::int64_t delta) {
    const auto shift = static_cast<std::uint32_t>(delta);  // modular: adds or subtracts
    for (std::uint32_t number = 1; number < used_; ++number) {
        Record& record = At(number);
        if ((record.flags & kFreeFlag) == 0 && record.start >= offset) {
            record.start += shift;
        }
    }
    for (std::uint32_t number = container;; number = At(number).parent) {
        At(number).length += shift;
        if (number == 0) {
            break;
        }
    }
}

bool XmlDocument::AppendElement(std::string_view name, std::string_view text) {
    return AddElement(name, text, true);
}

bool XmlDocument::InsertElement(std::string_view name, std::string_view text) {
    return AddElement(name, text, false);
}

bool XmlDocument::AddElement(std::string_view name, std::string_view text, bool append) {
    if (!IsValidElementName(name)) {
        return false;
    }
    std::string element = "<" + std::string(name);
    std::size_t startTag = 0;
    std::size_t endTag = 0;
    if (text.empty()) {
        element += "/>";
        startTag = element.size();
    } else {
        element += ">";
        startTag = element.size();
        element += EscapeXmlContent(text);
        element += "</" + std::string(name) + ">";
        endTag = name.size() + 3;
    }
    if (startTag > kMaxStartTagLength || endTag > kMaxEndTagLength) {
        return false;
    }

    const std::uint32_t parent = parent_;
    std::size_t place = 0;
    std::size_t replaced = 0;
    std::string piece;
    std::size_t elementOffset = 0;  // where the element starts inside the piece
    bool parentWasEmpty = false;
    if (parent == 0) {
        // At document level only a first element can be added, at the end of the text, and only
        // where the text ends outside any node.
        if (RootElement() != 0 || (HasIndex() && (At(0).flags & kNotWellFormedFlag) != 0)) {
            return false;
        }
        if (EndsInsideCharacter(text_)) {
            return false;
        }
        if (!HasIndex()) {
            ReserveIndex(8);
            NewRecord();  // record 0: the document
        }
        place = text_.size();
        piece = element + "\r\n";
    } else {
        const Record& container = At(parent);
        const std::size_t containerStartTag = StartTagLength(container.tagLengths);
        const std::size_t containerEndTag = EndTagLength(container.tagLengths);
        if ((container.flags & kNotEndedFlag) != 0) {
            return false;  // its end is unknown
        }
        if (containerEndTag == 0) {
            // An empty element "<name .../>": its '/' becomes ">", the new line, and the end tag.
            const std::string_view containerName = ElementName(parent);
            if (containerName.size() + 3 > kMaxEndTagLength) {
                return false;
            }
            parentWasEmpty = true;
            place = container.start + containerStartTag - 2;
            replaced = 1;
            // "<r//>" would still end in '/' once the last one goes: a blank keeps it a start tag.
            std::string reopened(std::string_view(text_).substr(container.start, containerStartTag - 2));
            reopened += '>';
            XmlTokenizer check(reopened);
            XmlNode node;
            const std::string_view close = check.Next(node) && node.emptyElement ? " >" : ">";
            piece = std::string(close) + "\r\n" + element + "\r\n</" + std::string(containerName);
            elementOffset = close.size() + 2;
        } else {
            if (current_ != 0) {
                const Record& sibling = At(current_);
                place = append ? sibling.start + sibling.length : sibling.start;
            } else {
                place =
                    append ? container.start + container.length - containerEndTag : container.start + containerStartTag;
            }
            std::size_t scan = place;
            while (scan < text_.size() && IsXmlWhiteSpace(text_[scan])) {
                ++scan;
            }
            if (scan > place && scan < text_.size() && text_[scan] == '<') {
                place = scan;
            }
            const bool noContent = container.firstChild == 0 && container.length == containerStartTag + containerEndTag;
            piece = (noContent ? "\r\n" : "") + element + "\r\n";
            elementOffset = noContent ? 2 : 0;
        }
    }

    const std::uint32_t number = NewRecord();
    if (number == 0) {
        return false;
    }
    const std::int64_t delta = static_cast<std::int64_t>(piece.size()) - static_cast<std::int64_t>(replaced);
    if (!ReplaceText(place, replaced, piece)) {
        --used_;  // the record was the last one taken: give it back
        return false;
    }
    ShiftAfterEdit(parent, place + replaced, delta);
    if (parentWasEmpty) {
        Record& container = At(parent);
        const std::size_t containerStartTag = StartTagLength(container.tagLengths) - 4 + elementOffset;
        container.tagLengths = TagLengths(containerStartTag, ElementName(parent).size() + 3);
    }

    Record& record = At(number);
    record.start = static_cast<std::uint32_t>(place + elementOffset);
    record.length = static_cast<std::uint32_t>(element.size());
    record.tagLengths = TagLengths(startTag, endTag);
    const std::uint32_t depth = parent == 0 ? 0 : std::min((At(parent).flags & kDepthMask) + 1, kDepthMask);
    record.flags = depth;
    if (parent == 0 || parentWasEmpty) {
        LinkLast(parent, number);
        record.flags |= kFirstChildFlag;
    } else if (current_ != 0) {
        if (append) {
            LinkAfter(current_, number);
        } else {
            LinkBefore(current_, number);
        }
    } else if (append) {
        LinkLast(parent, number);
        if (At(parent).firstChild == number) {
            record.flags |= kFirstChildFlag;
        }
    } else {
        LinkFirst(parent, number);
        record.flags |= kFirstChildFlag;
    }
    current_ = number;
    child_ = 0;
    return true;
}

bool XmlDocument::RemoveElement() {
    if (current_ == 0) {
        return false;
    }
    const std::uint32_t number = current_;
    const Record& record = At(number);
    const std::size_t start = record.start;
    std::size_t end = start + record.length;
    std::size_t scan = end;
    while (scan < text_.size() && IsXmlWhiteSpace(text_[scan])) {
        ++scan;
    }
    if (scan == text_.size() || text_[scan] == '<') {
        end = scan;  // the element's line goes with it
    }
    const std::uint32_t parent = record.parent;
    const bool wasFirst = At(parent).firstChild == number;
    const std::uint32_t previous = record.previousSibling;

    Unlink(number);
    FreeSubtree(number);
    text_.erase(start, end - start);
    ShiftAfterEdit(parent, end, -static_cast<std::int64_t>(end - start));
    current_ = wasFirst ? 0 : previous;
    child_ = 0;
    return true;
}

}  // namespace tarvane
