#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarvane/store/xml_file_io.h"
#include "tarvane/store/xml_result_log.h"

namespace tarvane {

// One XML document held as a single narrow code page 936 text, plus an index of where every
// element lies in it. Edits change the text in place and correct the index, so the text is always
// exactly what a save writes; nothing that is not edited is ever reformatted.
class XmlDocument {
public:
    // Offsets in the index are 32-bit.
    static constexpr std::size_t kMaxTextLength = 0xFFFFFFFEu;

    // What the index says about one element (for checks and diagnosis).
    struct ElementInfo {
        std::uint32_t start = 0;
        std::uint32_t length = 0;
        std::uint32_t startTagLength = 0;
        std::uint32_t endTagLength = 0;
        std::uint32_t depth = 0;
        std::uint32_t parent = 0;
        std::uint32_t firstChild = 0;
        std::uint32_t nextSibling = 0;
        std::uint32_t previousSibling = 0;
        bool notEnded = false;
        bool illFormed = false;
    };

    XmlDocument() = default;
    // A smaller text limit, so that the limit can be tried without gigabytes of text.
    explicit XmlDocument(std::size_t maxTextLength) : maxTextLength_(maxTextLength) {}
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;
    ~XmlDocument();

    // No text: the text is empty and the index storage released. Both clear the result log and
    // parse; the answer is whether the document is well-formed.
    bool SetText();
    bool SetText(std::string_view text);
    bool SetText(std::string&& text);
    // A null pointer stands for no text.
    bool SetText(const char* text) { return text != nullptr ? SetText(std::string_view(text)) : SetText(); }

    // False on a read failure (document then empty) or when the text is not well-formed.
    bool LoadFile(const std::string& path);
    bool SaveFile(const std::string& path);

    // Moves to the next sibling named `name` (any element when empty), or to the parent's first
    // such child when there is no current element. Not found: false, position unchanged.
    bool FindElement(std::string_view name = {});
    // The current element becomes the parent; there is no current element afterwards.
    bool EnterElement();
    // Back to the position after a load: no parent, no current element.
    void Rewind() { ResetPosition(); }

    std::string GetAttribute(std::string_view name) const;
    // Refused: no current element, a name with white space, '=', '/', '>' or '?', or a start tag
    // that would outgrow its length field.
    bool SetAttribute(std::string_view name, std::string_view value);
    bool SetAttribute(std::string_view name, std::int32_t value);
    // Removes an attribute of the current element with the blank before it; false when it has none.
    bool RemoveAttribute(std::string_view name);

    // A new element after (Append) or before (Insert) the current one, or as the parent's last
    // (Append) or first (Insert) child when there is none. It becomes the current element.
    // Refused (false, nothing changed): a name the tag could not hold, a parent without end tag,
    // and at document level any element but the first.
    bool AppendElement(std::string_view name, std::string_view text = {});
    bool InsertElement(std::string_view name, std::string_view text = {});
    // The previous sibling becomes current (none when the removed one was the first child).
    bool RemoveElement();

    const std::string& Text() const { return text_; }
    const XmlResultLog& Log() const { return log_; }
    const std::string& LogText() const { return log_.Text(); }
    const XmlEncodingFlags& EncodingFlags() const { return flags_; }
    void SetEncodingFlags(const XmlEncodingFlags& flags) { flags_ = flags; }

    // Position and index, mostly for checks: element numbers, 0 for none.
    std::uint32_t ParentElement() const { return parent_; }
    std::uint32_t CurrentElement() const { return current_; }
    std::uint32_t RootElement() const;
    bool IsWellFormed() const;
    // False for 0, a free record or a number past the used part.
    bool GetElementInfo(std::uint32_t number, ElementInfo& info) const;
    std::string_view ElementName(std::uint32_t number) const;
    // Records taken so far (free ones included), and the room the index has.
    std::uint32_t UsedRecords() const { return used_; }
    std::size_t IndexCapacity() const { return capacity_; }
    // The element tree in text order, one line per element: depth, start, length, start-tag and
    // end-tag lengths, and 'u' (not ended) / 'i' (ill-formed data inside) marks. Two documents
    // with equal outlines index their texts alike, whatever their record numbers.
    std::string IndexOutline() const;

private:
    struct Record {
        std::uint32_t start = 0;
        std::uint32_t length = 0;
        std::uint32_t tagLengths = 0;  // start-tag length in the low 22 bits, end-tag length above
        std::uint32_t flags = 0;       // depth in the low 16 bits, kFlag* above
        std::uint32_t parent = 0;
        std::uint32_t firstChild = 0;
        std::uint32_t nextSibling = 0;
        std::uint32_t previousSibling = 0;
    };
    static constexpr std::uint32_t kBlockShift = 16;
    static constexpr std::uint32_t kBlockSize = 1u << kBlockShift;

    Record& At(std::uint32_t number);
    const Record& At(std::uint32_t number) const;
    bool HasIndex() const { return used_ > 0; }
    bool Parse();
    void Report(std::string_view word, std::string_view textName, std::string_view textValue,
                std::string_view numberName, std::size_t number);
    void CloseUnended(std::size_t keepDepth, std::vector<std::uint32_t>& open);
    void SetDepthsAndFirstFlags();
    void ReleaseIndex();
    void ResetPosition();
    void ReserveIndex(std::size_t records);
    std::uint32_t NewRecord();
    void LinkLast(std::uint32_t parent, std::uint32_t child);
    void LinkFirst(std::uint32_t parent, std::uint32_t child);
    void LinkAfter(std::uint32_t sibling, std::uint32_t child);
    void LinkBefore(std::uint32_t sibling, std::uint32_t child);
    void Unlink(std::uint32_t number);
    void FreeSubtree(std::uint32_t number);
    bool AddElement(std::string_view name, std::string_view text, bool append);
    bool ReplaceText(std::size_t offset, std::size_t oldLength, std::string_view piece);
    // After the text changed by `delta` at `offset`: moves every element starting at or after
    // it and lengthens `container` and all its ancestors.
    void ShiftAfterEdit(std::uint32_t container, std::size_t offset, std::int64_t delta);

    std::size_t maxTextLength_ = kMaxTextLength;
    std::string text_;
    XmlResultLog log_;
    XmlEncodingFlags flags_;
    std::vector<std::unique_ptr<Record[]>> blocks_;
    std::size_t capacity_ = 0;
    std::uint32_t used_ = 0;
    std::uint32_t freeList_ = 0;
    std::uint32_t parent_ = 0;
    std::uint32_t current_ = 0;
    std::uint32_t child_ = 0;
};

}  // namespace tarvane
