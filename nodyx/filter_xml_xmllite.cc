// Filter files through the system's XmlLite, a pull reader that keeps its
// own stack of open elements (no recursion) and stops at the depth it is
// given. MinGW has xmllite.h but no import library, so xmllite.dll is loaded
// from the system folder for each read or write and freed afterwards.
#include "filter_xml.h"

#include "kdplatform/com_object.h"
#include "kdplatform/com_ptr.h"
#include "kdplatform/proc_address.h"
#include "kdplatform/return_if_failed.h"

#include <windows.h>
#include <objidl.h>
#include <xmllite.h>

#include <algorithm>
#include <cstring>

KDP_DECLARE_IID(ISequentialStream, IID_ISequentialStream);

namespace nodyx {

namespace {

constexpr HRESULT kInvalid = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
constexpr wchar_t kRootName[] = L"deviceTypeFilter";
constexpr wchar_t kEntryName[] = L"deviceType";

using CreateFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// xmllite.dll for one read or write. Interfaces made through it must be
// released before it is destroyed (declare it before them).
class XmlLite {
 public:
  XmlLite() : dll_(LoadLibraryExA("xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
  ~XmlLite() {
    if (dll_ != nullptr) FreeLibrary(dll_);
  }
  XmlLite(const XmlLite&) = delete;
  XmlLite& operator=(const XmlLite&) = delete;

  template <class Interface>
  HRESULT Create(const char* function, kdp::ComPtr<Interface>* made) {
    if (dll_ == nullptr) return HRESULT_FROM_WIN32(GetLastError());
    const auto create = kdp::ProcAs<CreateFunction>(GetProcAddress(dll_, function));
    if (create == nullptr) return HRESULT_FROM_WIN32(GetLastError());
    return create(__uuidof(Interface), made->put_void(), nullptr);
  }

 private:
  HMODULE dll_;
};

// The reader's input (bytes of a string the caller keeps alive) or the
// writer's output (appended to a string the caller owns).
class MemoryStream final : public kdp::ComObject<MemoryStream, ISequentialStream> {
 public:
  static kdp::ComPtr<MemoryStream> Reading(std::string_view text) {
    auto stream = kdp::ComPtr<MemoryStream>::Adopt(new MemoryStream);
    stream->input_ = text;
    return stream;
  }
  static kdp::ComPtr<MemoryStream> Writing(std::string* output) {
    auto stream = kdp::ComPtr<MemoryStream>::Adopt(new MemoryStream);
    stream->output_ = output;
    return stream;
  }

  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* done) override {
    const std::size_t count = std::min<std::size_t>(size, input_.size());
    if (count != 0) std::memcpy(buffer, input_.data(), count);
    input_.remove_prefix(count);
    if (done != nullptr) *done = static_cast<ULONG>(count);
    return count == size ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* done) override {
    if (done != nullptr) *done = 0;
    if (output_ == nullptr) return STG_E_ACCESSDENIED;
    try {
      output_->append(static_cast<const char*>(data), size);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    if (done != nullptr) *done = size;
    return S_OK;
  }

 private:
  MemoryStream() = default;
  ~MemoryStream() override = default;
  friend class kdp::ComObject<MemoryStream, ISequentialStream>;

  std::string_view input_;
  std::string* output_ = nullptr;
};

std::string Utf8(const wchar_t* text, UINT length) {
  if (length == 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(std::max(size, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), converted.data(), size, nullptr, nullptr);
  return converted;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring converted(static_cast<std::size_t>(std::max(size, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(), size);
  return converted;
}

// The attributes of the element the reader stands on.
HRESULT ReadEntry(IXmlReader* reader, FilterXmlEntry* entry) {
  for (HRESULT hr = reader->MoveToFirstAttribute(); hr == S_OK; hr = reader->MoveToNextAttribute()) {
    const wchar_t* name = nullptr;
    const wchar_t* value = nullptr;
    UINT length = 0;
    KD_RETURN_IF_FAILED(reader->GetQualifiedName(&name, nullptr));
    KD_RETURN_IF_FAILED(reader->GetValue(&value, &length));
    std::optional<std::string>* field = std::wcscmp(name, L"number") == 0    ? &entry->number
                                        : std::wcscmp(name, L"name") == 0    ? &entry->name
                                        : std::wcscmp(name, L"enabled") == 0 ? &entry->enabled
                                                                             : nullptr;
    if (field != nullptr && !*field) *field = Utf8(value, length);
  }
  return S_OK;
}

HRESULT ReadEntries(IXmlReader* reader, std::vector<FilterXmlEntry>* entries) {
  bool sawRoot = false;
  XmlNodeType type = XmlNodeType_None;
  HRESULT hr = S_OK;
  while ((hr = reader->Read(&type)) == S_OK) {
    if (type != XmlNodeType_Element) continue;
    UINT depth = 0;
    const wchar_t* name = nullptr;
    KD_RETURN_IF_FAILED(reader->GetDepth(&depth));
    KD_RETURN_IF_FAILED(reader->GetQualifiedName(&name, nullptr));
    if (depth >= kMaxFilterXmlDepth) return kInvalid;  // depth 0 is the document element
    if (depth == 0) {
      if (std::wcscmp(name, kRootName) != 0) return kInvalid;
      sawRoot = true;
    } else if (depth == 1 && std::wcscmp(name, kEntryName) == 0) {
      KD_RETURN_IF_FAILED(ReadEntry(reader, &entries->emplace_back()));
    }
  }
  KD_RETURN_IF_FAILED(hr);
  return sawRoot ? S_OK : kInvalid;
}

HRESULT WriteEntries(IXmlWriter* writer, const std::vector<FilterXmlEntry>& entries) {
  const auto attribute = [writer](const wchar_t* name, const std::optional<std::string>& value) {
    return value ? writer->WriteAttributeString(nullptr, name, nullptr, Wide(*value).c_str()) : S_OK;
  };
  KD_RETURN_IF_FAILED(writer->WriteStartDocument(XmlStandalone_Omit));
  KD_RETURN_IF_FAILED(writer->WriteStartElement(nullptr, kRootName, nullptr));
  KD_RETURN_IF_FAILED(writer->WriteAttributeString(nullptr, L"version", nullptr, L"1"));
  for (const FilterXmlEntry& entry : entries) {
    KD_RETURN_IF_FAILED(writer->WriteStartElement(nullptr, kEntryName, nullptr));
    KD_RETURN_IF_FAILED(attribute(L"number", entry.number));
    KD_RETURN_IF_FAILED(attribute(L"name", entry.name));
    KD_RETURN_IF_FAILED(attribute(L"enabled", entry.enabled));
    KD_RETURN_IF_FAILED(writer->WriteEndElement());
  }
  KD_RETURN_IF_FAILED(writer->WriteEndDocument());
  return writer->Flush();
}

}  // namespace

HRESULT ReadFilterXml(std::string_view text, std::vector<FilterXmlEntry>* entries) {
  XmlLite xmlLite;
  kdp::ComPtr<IXmlReader> reader;
  KD_RETURN_IF_FAILED(xmlLite.Create("CreateXmlReader", &reader));
  HRESULT hr = reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
  // The reader's own stop, one level beyond the limit kept above: how it
  // counts levels is its own (Wine's stops one level earlier than its
  // number), and it must never refuse a depth that is allowed.
  if (SUCCEEDED(hr)) hr = reader->SetProperty(XmlReaderProperty_MaxElementDepth, kMaxFilterXmlDepth + 1);
  if (SUCCEEDED(hr)) hr = reader->SetInput(MemoryStream::Reading(text).get());
  KD_RETURN_IF_FAILED(hr);
  std::vector<FilterXmlEntry> read;
  hr = ReadEntries(reader.get(), &read);
  // Every failure but a lack of memory is the text's (XmlLite's own codes,
  // 0xC00CExxx, and a depth or DTD refusal among them).
  if (FAILED(hr)) return hr == E_OUTOFMEMORY ? hr : kInvalid;
  *entries = std::move(read);
  return S_OK;
}

HRESULT WriteFilterXml(const std::vector<FilterXmlEntry>& entries, std::string* text) {
  std::string written;  // outlives the writer, which may flush into it when released
  XmlLite xmlLite;
  kdp::ComPtr<IXmlWriter> writer;
  KD_RETURN_IF_FAILED(xmlLite.Create("CreateXmlWriter", &writer));
  HRESULT hr = writer->SetProperty(XmlWriterProperty_Indent, TRUE);
  // The same bytes as on other systems: no byte-order mark.
  if (SUCCEEDED(hr)) hr = writer->SetProperty(XmlWriterProperty_ByteOrderMark, FALSE);
  if (SUCCEEDED(hr)) hr = writer->SetOutput(MemoryStream::Writing(&written).get());
  if (SUCCEEDED(hr)) hr = WriteEntries(writer.get(), entries);
  KD_RETURN_IF_FAILED(hr);
  *text = std::move(written);
  return S_OK;
}

}  // namespace nodyx
