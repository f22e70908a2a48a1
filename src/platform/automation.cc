#include "platform/automation.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/adodb_stream.h"
#include "platform/ascii_copy.h"
#include "platform/code_page.h"

namespace mvsearch {
namespace {

// This thread's CoInitialize nesting.
thread_local int t_com_initializations = 0;

char16_t fold_ascii(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

std::string prog_id_key(std::string_view prog_id) {
  std::string key(prog_id);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

class ClassRegistry {
 public:
  ClassRegistry() { classes_[prog_id_key(ADODB_STREAM_PROG_ID)] = create_adodb_stream; }

  void add(std::string_view prog_id, ClassFactory factory) {
    const std::lock_guard lock(mutex_);
    classes_[prog_id_key(prog_id)] = factory;
  }
  bool remove(std::string_view prog_id) {
    const std::lock_guard lock(mutex_);
    return classes_.erase(prog_id_key(prog_id)) != 0;
  }
  ClassFactory find(std::string_view prog_id) const {
    const std::lock_guard lock(mutex_);
    const auto it = classes_.find(prog_id_key(prog_id));
    return it == classes_.end() ? nullptr : it->second;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, ClassFactory, std::less<>> classes_;
};

ClassRegistry& registry() {
  static ClassRegistry instance;
  return instance;
}

// GetIDsOfNames and Invoke on the object that the variable holds.
HRESULT invoke_by_name(const ObjectVariable& object, std::string_view name, unsigned flags,
                       DispatchArgs args, Variant* result) {
  if (object.empty()) return E_POINTER;
  DISPID id = 0;
  const HRESULT bound = object.get()->get_id_of_name(text_to_bstr(name), &id);
  if (failed(bound)) return bound;
  return object.get()->invoke(id, flags, args, result);
}

HRESULT call_method(const ObjectVariable& object, std::string_view method, AutomationArgs args,
                    Variant* result) {
  std::vector<const Variant*> pointers;
  pointers.reserve(args.size());
  for (const AutomationArg& arg : args) pointers.push_back(&arg.get());
  return invoke_by_name(object, method, DISPATCH_METHOD, pointers, result);
}

// Long texts cross the code page in pieces of about this many bytes or units, cut between
// characters: code page 936 keeps no state from one character to the next, and pieces that
// stay in the cache are converted faster than one whole page.
constexpr std::size_t CONVERSION_CHUNK = 32 * 1024;

bool is_lead_byte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
bool is_trail_byte(unsigned char byte) { return byte >= 0x40 && byte <= 0xFE && byte != 0x7F; }

// The length of the next piece of a code page 936 text, at most CONVERSION_CHUNK bytes. A
// byte below 0x40 is neither a lead nor a trail byte, so a character ends after it; where
// the end of the chunk has none, the characters are counted from the start.
std::size_t ansi_piece_length(std::string_view text) {
  if (text.size() <= CONVERSION_CHUNK) return text.size();
  for (std::size_t end = CONVERSION_CHUNK; end > CONVERSION_CHUNK / 2; --end) {
    if (static_cast<unsigned char>(text[end - 1]) < 0x40) return end;
  }
  std::size_t end = 0;
  while (end < CONVERSION_CHUNK - 1) {
    const bool pair = is_lead_byte(static_cast<unsigned char>(text[end])) &&
                      is_trail_byte(static_cast<unsigned char>(text[end + 1]));
    end += pair ? 2 : 1;
  }
  return end;
}

// The length of the next piece of UTF-16, never ending between the units of a pair.
std::size_t wide_piece_length(std::u16string_view units) {
  if (units.size() <= CONVERSION_CHUNK) return units.size();
  const char16_t last = units[CONVERSION_CHUNK - 1];
  return last >= 0xD800 && last <= 0xDBFF ? CONVERSION_CHUNK - 1 : CONVERSION_CHUNK;
}

}  // namespace

HRESULT CoInitialize(void* reserved) {
  if (reserved != nullptr) return E_INVALIDARG;
  return t_com_initializations++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (t_com_initializations > 0) --t_com_initializations;
}

HRESULT find_member(std::span<const DispatchMember> members, std::u16string_view name, DISPID* id) {
  for (const DispatchMember& member : members) {
    if (member.name.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; same && i < name.size(); ++i) {
      same = fold_ascii(member.name[i]) == fold_ascii(name[i]);
    }
    if (same) {
      *id = member.id;
      return S_OK;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

void register_class(std::string_view prog_id, ClassFactory factory) {
  if (factory != nullptr) registry().add(prog_id, factory);
}

bool unregister_class(std::string_view prog_id) { return registry().remove(prog_id); }

HRESULT create_instance(std::string_view prog_id, std::unique_ptr<Dispatch>* object) {
  if (object == nullptr) return E_POINTER;
  object->reset();
  if (t_com_initializations == 0) return CO_E_NOTINITIALIZED;
  const ClassFactory factory = registry().find(prog_id);
  if (factory == nullptr) return CO_E_CLASSSTRING;
  *object = factory();
  return *object != nullptr ? S_OK : E_OUTOFMEMORY;
}

// Both directions look for the terminating NUL a piece at a time, just before converting
// it, so that each piece is read from memory once.

std::u16string text_to_bstr(std::string_view text) {
  std::u16string bstr;
  // A code page 936 byte never gives more than one UTF-16 unit.
  bstr.reserve(text.size());
  char16_t converted[CONVERSION_CHUNK];
  bool at_nul = false;
  while (!text.empty() && !at_nul) {
    std::size_t piece = ansi_piece_length(text);
    const std::size_t nul = text.substr(0, piece).find('\0');
    at_nul = nul != std::string_view::npos;
    if (at_nul) piece = nul;
    if (piece == 0) break;
    const int length = static_cast<int>(piece);
    int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, converted, length);
    if (units <= 0) return {};
    bstr.append(converted, static_cast<std::size_t>(units));
    text.remove_prefix(piece);
  }
  return bstr;
}

std::string bstr_to_text(std::u16string_view bstr) {
  std::string text;
  text.reserve(bstr.size());
  // At most two bytes per unit in code page 936.
  char converted[CONVERSION_CHUNK * 2];
  bool at_nul = false;
  while (!bstr.empty() && !at_nul) {
    std::size_t piece = wide_piece_length(bstr);
    const std::size_t nul = find_nul_unit(bstr.data(), piece);
    at_nul = nul != piece;
    if (at_nul) piece = nul;
    if (piece == 0) break;
    const int length = static_cast<int>(piece);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, bstr.data(), length, converted, length * 2,
                                          nullptr, nullptr);
    if (bytes <= 0) return {};
    text.append(converted, static_cast<std::size_t>(bytes));
    bstr.remove_prefix(piece);
  }
  return text;
}

HRESULT object_create(ObjectVariable& object, std::string_view prog_id) {
  object.reset();
  std::unique_ptr<Dispatch> instance;
  const HRESULT result = create_instance(prog_id, &instance);
  if (succeeded(result)) object.reset(std::move(instance));
  return result;
}

HRESULT object_set_property(const ObjectVariable& object, std::string_view name,
                            const AutomationArg& value) {
  const Variant* const args[] = {&value.get()};
  return invoke_by_name(object, name, DISPATCH_PROPERTYPUT, args, nullptr);
}

Variant object_get_property(const ObjectVariable& object, std::string_view name) {
  Variant result;
  if (failed(invoke_by_name(object, name, DISPATCH_PROPERTYGET, {}, &result))) result.clear();
  return result;
}

HRESULT object_call(const ObjectVariable& object, std::string_view method, AutomationArgs args) {
  return call_method(object, method, args, nullptr);
}

std::string object_call_text(const ObjectVariable& object, std::string_view method,
                             AutomationArgs args) {
  Variant result;
  if (failed(call_method(object, method, args, &result))) return {};
  if (result.kind() != VT_BSTR && failed(variant_change_type(&result, result, VT_BSTR))) {
    return {};
  }
  return bstr_to_text(*result.bstr());
}

Variant object_call_variant(const ObjectVariable& object, std::string_view method,
                            AutomationArgs args) {
  Variant result;
  if (failed(call_method(object, method, args, &result))) result.clear();
  return result;
}

void object_clear(ObjectVariable& object) { object.reset(); }

HRESULT variant_set_type(Variant& variant, int kind) {
  variant.clear();
  if (kind < 0 || kind > 0xFFFF) return DISP_E_TYPEMISMATCH;
  return variant_change_type(&variant, variant, static_cast<VARTYPE>(kind));
}

void variant_make_array(Variant& variant, int element_kind, int count) {
  if (element_kind != ARRAY_ELEMENT_BYTE || count < 0) {
    variant.clear();
    return;
  }
  variant = Variant::byte_array(std::string(static_cast<std::size_t>(count), '\0'), 1);
}

void variant_assign(Variant& variant, std::string_view bytes) {
  const VARTYPE element_kind = variant.kind() & VT_TYPEMASK;
  if (SafeArray* array = variant.array()) {
    // Reuses the storage that variant_make_array allocated.
    array->element_kind = element_kind;
    array->lower_bound = 1;
    array->data.assign(bytes);
    return;
  }
  variant = Variant(SafeArray{element_kind, 1, std::string(bytes)});
}

std::string variant_to_bytes(const Variant& variant) {
  if (const std::string* bytes = variant.byte_data()) return *bytes;
  if (variant.array() != nullptr) return {};
  Variant converted;
  if (failed(variant_change_type(&converted, variant, VT_ARRAY | VT_UI1))) return {};
  return std::move(*converted.byte_data());
}

std::string variant_to_bytes(Variant&& variant) {
  if (std::string* bytes = variant.byte_data()) {
    std::string taken = std::move(*bytes);
    variant.clear();
    return taken;
  }
  return variant_to_bytes(static_cast<const Variant&>(variant));
}

}  // namespace mvsearch
