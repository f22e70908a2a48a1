// Our stand-in for COM automation: the apartment's initialisation count, the dispatch
// interface that automation objects implement, the class registry, object variables, and
// the run time's late-bound operations on objects and variants.
//
// ProgIDs and member names are matched without regard to ASCII letter case, as
// CLSIDFromProgID and IDispatch do. Every Text that crosses into a BSTR goes through the
// ANSI code page (MultiByteToWideChar with CP_ACP), and every BSTR that comes back as a
// Text through the same code page (WideCharToMultiByte with CP_ACP), up to its first
// U+0000. The run time's operations report nothing but their HRESULT: an operation on an
// empty object variable, or one that the object refuses, changes nothing.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/hresult.h"
#include "platform/variant.h"

namespace mvsearch {

// --- The apartment ----------------------------------------------------------------------

// Enters (or re-enters) this thread's apartment: S_OK the first time, S_FALSE when it is
// already initialised; E_INVALIDARG when reserved is not null. Each success must be paired
// with a CoUninitialize.
HRESULT CoInitialize(void* reserved);
// Leaves the apartment once; on a thread that is not initialised it does nothing.
void CoUninitialize();

// --- Objects ----------------------------------------------------------------------------

using DISPID = std::int32_t;

// Invoke flags, as in Windows.
inline constexpr unsigned DISPATCH_METHOD = 1;
inline constexpr unsigned DISPATCH_PROPERTYGET = 2;
inline constexpr unsigned DISPATCH_PROPERTYPUT = 4;

// The arguments of one call, first to last. They stay the caller's: the callee reads them
// during the call and keeps nothing.
using DispatchArgs = std::span<const Variant* const>;

// IDispatch: members bound by name, then invoked by their id.
class Dispatch {
 public:
  virtual ~Dispatch() = default;

  // GetIDsOfNames for one name; DISP_E_UNKNOWNNAME when the object has no such member.
  virtual HRESULT get_id_of_name(std::u16string_view name, DISPID* id) = 0;
  // Invoke. result may be null when the caller drops it; otherwise it is left VT_EMPTY
  // unless the member succeeds with a value.
  virtual HRESULT invoke(DISPID id, unsigned flags, DispatchArgs args, Variant* result) = 0;
};

// One member of an object's dispatch table.
struct DispatchMember {
  std::u16string_view name;
  DISPID id;
};

// Looks name up in members without regard to ASCII letter case; DISP_E_UNKNOWNNAME if absent.
HRESULT find_member(std::span<const DispatchMember> members, std::u16string_view name, DISPID* id);

// --- The class registry -----------------------------------------------------------------

// Makes a new instance, or null when it cannot.
using ClassFactory = std::unique_ptr<Dispatch> (*)();

// The registry starts with the classes that this program ships ("Adodb.Stream").
// Registering a ProgID that is already there replaces its factory.
void register_class(std::string_view prog_id, ClassFactory factory);
// Removes the class; false when no class was registered under prog_id.
bool unregister_class(std::string_view prog_id);

// CLSIDFromProgID and CoCreateInstance: *object receives a new instance. Fails with
// CO_E_NOTINITIALIZED on a thread without CoInitialize, CO_E_CLASSSTRING for an unknown
// ProgID, E_OUTOFMEMORY when the factory gives nothing; *object is then null.
HRESULT create_instance(std::string_view prog_id, std::unique_ptr<Dispatch>* object);

// An object variable: empty, or the owner of one instance, which it releases.
class ObjectVariable {
 public:
  ObjectVariable() = default;
  explicit ObjectVariable(std::unique_ptr<Dispatch> object) : object_(std::move(object)) {}

  [[nodiscard]] bool empty() const { return object_ == nullptr; }
  [[nodiscard]] Dispatch* get() const { return object_.get(); }
  void reset(std::unique_ptr<Dispatch> object = nullptr) { object_ = std::move(object); }

 private:
  std::unique_ptr<Dispatch> object_;
};

// --- Texts and BSTRs --------------------------------------------------------------------

// The text's bytes up to its first NUL, through the ANSI code page into UTF-16.
[[nodiscard]] std::u16string text_to_bstr(std::string_view text);
// The units up to the first U+0000, through the ANSI code page; characters that it lacks
// become its default character.
[[nodiscard]] std::string bstr_to_text(std::u16string_view bstr);

// --- The run time's operations ----------------------------------------------------------

// One argument of a call: an integer goes as VT_I4, a text as a BSTR (through the ANSI
// code page), a variant as it is, without a copy.
class AutomationArg {
 public:
  AutomationArg(std::int32_t value) : own_(value) {}                                 // NOLINT
  AutomationArg(std::string_view text) : own_(text_to_bstr(text)) {}                 // NOLINT
  AutomationArg(const char* text) : AutomationArg(std::string_view(text)) {}         // NOLINT
  AutomationArg(const std::string& text) : AutomationArg(std::string_view(text)) {}  // NOLINT
  AutomationArg(const Variant& value) : borrowed_(&value) {}                         // NOLINT

  [[nodiscard]] const Variant& get() const { return borrowed_ != nullptr ? *borrowed_ : own_; }

 private:
  Variant own_;
  const Variant* borrowed_ = nullptr;
};

using AutomationArgs = std::initializer_list<AutomationArg>;

// Releases what object held, then creates the class registered under prog_id into it; on
// any failure object stays empty.
HRESULT object_create(ObjectVariable& object, std::string_view prog_id);
// Puts the named property.
HRESULT object_set_property(const ObjectVariable& object, std::string_view name,
                            const AutomationArg& value);
// Gets the named property; VT_EMPTY when that fails.
[[nodiscard]] Variant object_get_property(const ObjectVariable& object, std::string_view name);
// Calls the named method and drops its result.
HRESULT object_call(const ObjectVariable& object, std::string_view method,
                    AutomationArgs args = {});
// Calls the named method and gives its result as a Text: a BSTR through the ANSI code page,
// another kind after VariantChangeType to VT_BSTR; the empty text when anything fails.
[[nodiscard]] std::string object_call_text(const ObjectVariable& object, std::string_view method,
                                           AutomationArgs args = {});
// Calls the named method and gives its result; VT_EMPTY when the call fails.
[[nodiscard]] Variant object_call_variant(const ObjectVariable& object, std::string_view method,
                                          AutomationArgs args = {});
// Releases the object and leaves the variable empty.
void object_clear(ObjectVariable& object);

// The run time's number for a byte element in variant_make_array.
inline constexpr int ARRAY_ELEMENT_BYTE = 1;

// Clears the variant, then converts it to the numbered kind when VariantChangeType can;
// otherwise it stays VT_EMPTY.
HRESULT variant_set_type(Variant& variant, int kind);
// Replaces the variant by a new one-dimensional array of count elements, lower bound 1, of
// the numbered element kind (only ARRAY_ELEMENT_BYTE, giving VT_UI1 zeros, is known); for
// any other kind or a negative count the variant becomes VT_EMPTY.
void variant_make_array(Variant& variant, int element_kind, int count);
// Replaces the variant's content by a one-dimensional array, lower bound 1, holding bytes;
// its kind becomes VT_ARRAY with the element kind that the variant had before.
void variant_assign(Variant& variant, std::string_view bytes);
// The bytes of a VT_ARRAY | VT_UI1 variant. A variant that is not an array is first
// converted to that kind with VariantChangeType; when that fails, and for an array of other
// elements, the result is empty. The rvalue form hands the variant's bytes over.
[[nodiscard]] std::string variant_to_bytes(const Variant& variant);
[[nodiscard]] std::string variant_to_bytes(Variant&& variant);

}  // namespace mvsearch
