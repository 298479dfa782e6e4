#include "DialogTemplate.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <iterator>

namespace restest {
namespace {

constexpr uint16_t kExtendedVersion = 1;
constexpr uint16_t kExtendedSignature = 0xFFFF;
constexpr uint16_t kOrdinalMarker = 0xFFFF;  // a name field holding a 16-bit ordinal follows
constexpr uint16_t kFirstClassOrdinal = 0x0080;
const wchar_t* const kClassOrdinalNames[] = {L"button", L"edit", L"static", L"listbox", L"scrollbar", L"combobox"};

// A bounds-checked little-endian cursor over the template bytes.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : m_pData(data), m_nSize(size) {}

  bool Ok() const { return m_bOk; }

  uint16_t U16() {
    uint8_t bytes[2]{};
    Take(bytes, sizeof(bytes));
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  }
  uint32_t U32() {
    uint8_t bytes[4]{};
    Take(bytes, sizeof(bytes));
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  uint8_t U8() {
    uint8_t byte = 0;
    Take(&byte, 1);
    return byte;
  }

  // A zero-terminated UTF-16 string.
  std::wstring String() {
    std::wstring text;
    for (uint16_t ch = U16(); m_bOk && ch != 0; ch = U16()) text.push_back(static_cast<wchar_t>(ch));
    return text;
  }

  // A name field: empty (0), an ordinal (0xFFFF then the number) or a string.
  std::wstring NameOrOrdinal(bool classField) {
    const size_t start = m_nPos;
    const uint16_t first = U16();
    if (first == 0) return std::wstring();
    if (first == kOrdinalMarker) {
      const uint16_t ordinal = U16();
      const size_t index = static_cast<size_t>(ordinal - kFirstClassOrdinal);
      if (classField && ordinal >= kFirstClassOrdinal && index < std::size(kClassOrdinalNames)) {
        return kClassOrdinalNames[index];
      }
      return L"#" + std::to_wstring(ordinal);
    }
    m_nPos = start;
    return String();
  }

  void Skip(size_t count) {
    if (count > m_nSize - m_nPos) {
      m_bOk = false;
      m_nPos = m_nSize;
      return;
    }
    m_nPos += count;
  }
  // Items start on 32-bit boundaries of the template.
  void AlignTo4() { m_nPos = std::min(m_nSize, m_nPos + (4 - m_nPos % 4) % 4); }

 private:
  void Take(void* out, size_t count) {
    if (!m_bOk || count > m_nSize - m_nPos) {
      m_bOk = false;
      return;
    }
    std::memcpy(out, m_pData + m_nPos, count);
    m_nPos += count;
  }

  const uint8_t* m_pData;
  size_t m_nSize;
  size_t m_nPos = 0;
  bool m_bOk = true;
};

}  // namespace

const DialogItem* DialogTemplate::Find(uint32_t id) const {
  for (const DialogItem& item : items) {
    if (item.nId == id) return &item;
  }
  return nullptr;
}

std::optional<DialogTemplate> ParseDialogTemplate(const uint8_t* data, size_t size) {
  Cursor in(data, size);
  if (in.U16() != kExtendedVersion || in.U16() != kExtendedSignature) return std::nullopt;
  DialogTemplate dialog;
  in.U32();  // help id
  dialog.nExStyle = in.U32();
  dialog.nStyle = in.U32();
  const uint16_t itemCount = in.U16();
  in.I16();  // x
  in.I16();  // y
  dialog.cx = in.I16();
  dialog.cy = in.I16();
  in.NameOrOrdinal(false);  // menu
  in.NameOrOrdinal(false);  // window class
  dialog.strCaption = in.String();
  if (dialog.nStyle & (DS_SETFONT | DS_SHELLFONT)) {
    dialog.nPointSize = in.U16();
    in.U16();  // weight
    in.U8();   // italic
    in.U8();   // character set
    dialog.strFace = in.String();
  }
  for (uint16_t i = 0; i < itemCount && in.Ok(); ++i) {
    in.AlignTo4();
    DialogItem item;
    in.U32();  // help id
    item.nExStyle = in.U32();
    item.nStyle = in.U32();
    item.x = in.I16();
    item.y = in.I16();
    item.cx = in.I16();
    item.cy = in.I16();
    item.nId = in.U32();
    item.strClass = in.NameOrOrdinal(true);
    for (wchar_t& ch : item.strClass) ch = static_cast<wchar_t>(towlower(ch));  // class names ignore case
    item.strTitle = in.NameOrOrdinal(false);
    in.Skip(in.U16());  // creation data
    dialog.items.push_back(item);
  }
  if (!in.Ok()) return std::nullopt;
  return dialog;
}

std::optional<DialogTemplate> LoadDialogTemplate(HMODULE module, UINT id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return ParseDialogTemplate(static_cast<const uint8_t*>(bytes), SizeofResource(module, found));
}

}  // namespace restest
