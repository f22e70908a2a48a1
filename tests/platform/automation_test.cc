#include "platform/automation.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/adodb_stream.h"

namespace mvsearch {

void PrintTo(const Variant& v, std::ostream* os) {
  *os << "kind " << v.kind();
  if (v.int_value() != nullptr) *os << " " << *v.int_value();
  if (v.bstr() != nullptr) *os << " " << testing::PrintToString(*v.bstr());
  if (v.array() != nullptr) {
    *os << " lower bound " << v.array()->lower_bound << " "
        << testing::PrintToString(v.array()->data);
  }
}

namespace {

using namespace std::string_view_literals;

// One CoInitialize/CoUninitialize pair around a test.
class ComScope {
 public:
  ComScope() { CoInitialize(nullptr); }
  ~ComScope() { CoUninitialize(); }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
};

// Puts the stream class back, whatever the test did to the registry.
class RegistryRestorer {
 public:
  RegistryRestorer() = default;
  ~RegistryRestorer() { register_class(ADODB_STREAM_PROG_ID, create_adodb_stream); }
  RegistryRestorer(const RegistryRestorer&) = delete;
  RegistryRestorer& operator=(const RegistryRestorer&) = delete;
};

std::string join(std::initializer_list<std::string_view> parts) {
  std::string joined;
  for (const auto part : parts) joined.append(part);
  return joined;
}
std::u16string join(std::initializer_list<std::u16string_view> parts) {
  std::u16string joined;
  for (const auto part : parts) joined.append(part);
  return joined;
}

Variant bstr(std::u16string_view units) { return Variant(std::u16string(units)); }
Variant bytes_variant(std::string_view bytes) { return Variant::byte_array(std::string(bytes), 1); }

std::int32_t int_property(const ObjectVariable& object, std::string_view name) {
  const Variant value = object_get_property(object, name);
  return value.int_value() != nullptr ? *value.int_value() : -99;
}

// An open stream of the given type holding bytes, with Position at the end.
ObjectVariable open_stream(std::int32_t type, std::string_view bytes = {}) {
  ObjectVariable stream;
  EXPECT_EQ(object_create(stream, ADODB_STREAM_PROG_ID), S_OK);
  EXPECT_EQ(object_set_property(stream, "Type", AD_TYPE_BINARY), S_OK);
  EXPECT_EQ(object_call(stream, "Open"), S_OK);
  if (!bytes.empty()) {
    EXPECT_EQ(object_call(stream, "Write", {bytes_variant(bytes)}), S_OK);
  }
  if (type == AD_TYPE_TEXT) {
    EXPECT_EQ(object_set_property(stream, "Position", 0), S_OK);
    EXPECT_EQ(object_set_property(stream, "Type", AD_TYPE_TEXT), S_OK);
  }
  return stream;
}

// Every byte of the stream; leaves it in binary mode at the end.
std::string all_bytes(const ObjectVariable& stream) {
  EXPECT_EQ(object_set_property(stream, "Position", 0), S_OK);
  EXPECT_EQ(object_set_property(stream, "Type", AD_TYPE_BINARY), S_OK);
  return variant_to_bytes(object_call_variant(stream, "Read"));
}

TEST(CoInitialize, NestsPerThread) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  int dummy = 0;
  EXPECT_EQ(CoInitialize(&dummy), E_INVALIDARG);

  // Another thread has an apartment of its own.
  HRESULT other_first = E_FAIL;
  HRESULT other_second = E_FAIL;
  std::thread([&] {
    other_first = CoInitialize(nullptr);
    other_second = CoInitialize(nullptr);
    CoUninitialize();
    CoUninitialize();
  }).join();
  EXPECT_EQ(other_first, S_OK);
  EXPECT_EQ(other_second, S_FALSE);

  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);  // one level is still open
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();  // one too many: harmless
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST(ObjectCreate, NeedsAnInitialisedThread) {
  ObjectVariable stream;
  EXPECT_EQ(object_create(stream, ADODB_STREAM_PROG_ID), CO_E_NOTINITIALIZED);
  EXPECT_TRUE(stream.empty());
  {
    const ComScope com;
    EXPECT_EQ(object_create(stream, ADODB_STREAM_PROG_ID), S_OK);
    EXPECT_FALSE(stream.empty());
  }
  std::thread([&] {
    ObjectVariable other;
    EXPECT_EQ(object_create(other, ADODB_STREAM_PROG_ID), CO_E_NOTINITIALIZED);
  }).join();
}

TEST(ObjectCreate, ProgIdIgnoresLetterCase) {
  const ComScope com;
  struct Case {
    std::string_view prog_id;
    HRESULT result;
  } cases[] = {
      {"Adodb.Stream", S_OK},
      {"ADODB.STREAM", S_OK},
      {"adodb.stream", S_OK},
      {"aDoDb.sTrEaM", S_OK},
      {"Adodb.Stream ", CO_E_CLASSSTRING},
      {"Adodb.Stream.6", CO_E_CLASSSTRING},
      {"ADODB.Recordset", CO_E_CLASSSTRING},
      {"", CO_E_CLASSSTRING},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.prog_id));
    ObjectVariable object;
    EXPECT_EQ(object_create(object, c.prog_id), c.result);
    EXPECT_EQ(object.empty(), failed(c.result));
  }
}

TEST(ObjectCreate, FailureLeavesTheVariableEmptyAndEveryOperationDoesNothing) {
  const ComScope com;
  ObjectVariable stream;
  ASSERT_EQ(object_create(stream, ADODB_STREAM_PROG_ID), S_OK);
  // A failed creation releases what the variable held before.
  EXPECT_EQ(object_create(stream, "No.Such.Class"), CO_E_CLASSSTRING);
  ASSERT_TRUE(stream.empty());

  EXPECT_TRUE(failed(object_set_property(stream, "Type", 1)));
  EXPECT_TRUE(failed(object_call(stream, "Open")));
  EXPECT_TRUE(failed(object_call(stream, "WriteText", {"abc"})));
  EXPECT_EQ(object_call_text(stream, "ReadText"), "");
  EXPECT_TRUE(object_call_variant(stream, "Read").is_empty());
  EXPECT_TRUE(object_get_property(stream, "Size").is_empty());
  EXPECT_EQ(variant_to_bytes(object_call_variant(stream, "Read")), "");
  object_clear(stream);
  EXPECT_TRUE(stream.empty());
}

TEST(ClassRegistry, UnregisteredClassCannotBeCreated) {
  const ComScope com;
  const RegistryRestorer restorer;
  EXPECT_TRUE(unregister_class("ADODB.stream"));
  EXPECT_FALSE(unregister_class("Adodb.Stream"));
  ObjectVariable stream;
  EXPECT_EQ(object_create(stream, "Adodb.Stream"), CO_E_CLASSSTRING);
  EXPECT_TRUE(stream.empty());

  register_class("adodb.STREAM", create_adodb_stream);
  EXPECT_EQ(object_create(stream, "Adodb.Stream"), S_OK);
  register_class("Adodb.Stream", [] { return std::unique_ptr<Dispatch>(); });
  EXPECT_EQ(object_create(stream, "Adodb.Stream"), E_OUTOFMEMORY);
  EXPECT_TRUE(stream.empty());
}

// A class that hands back what it was given, to watch the arguments cross over.
class Echo final : public Dispatch {
 public:
  HRESULT get_id_of_name(std::u16string_view name, DISPID* id) override {
    static constexpr DispatchMember members[] = {{u"Echo", 1}, {u"Count", 2}};
    return find_member(members, name, id);
  }
  HRESULT invoke(DISPID id, unsigned flags, DispatchArgs args, Variant* result) override {
    if (id == 1 && flags == DISPATCH_METHOD && args.size() == 1) {
      if (result != nullptr) *result = *args[0];
      return S_OK;
    }
    if (id == 2 && flags == DISPATCH_METHOD) {
      if (result != nullptr) *result = Variant(static_cast<std::int32_t>(args.size()));
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }
};

TEST(ObjectCall, ArgumentsAndResultsCrossThroughTheAnsiCodePage) {
  const ComScope com;
  register_class("Test.Echo", [] { return std::unique_ptr<Dispatch>(std::make_unique<Echo>()); });
  ObjectVariable echo;
  ASSERT_EQ(object_create(echo, "test.echo"), S_OK);

  // Member names ignore letter case, as IDispatch does.
  EXPECT_EQ(*object_call_variant(echo, "ECHO", {7}).int_value(), 7);
  EXPECT_EQ(object_call(echo, "Missing"), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(object_set_property(echo, "Echo", 1), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(*object_call_variant(echo, "count", {1, "a", Variant()}).int_value(), 3);

  struct Case {
    std::string_view text;
    std::u16string_view bstr;
    std::string_view back;
  } cases[] = {
      {"abc", u"abc", "abc"},
      {"\xD6\xD0\xCE\xC4", u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
      {"\x80", u"\u20AC", "\x80"},  // the Windows 936 euro sign
      {"", u"", ""},
      {"a\0b"sv, u"a", "a"},  // a Text ends at NUL
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    const Variant sent = object_call_variant(echo, "Echo", {c.text});
    ASSERT_NE(sent.bstr(), nullptr);
    EXPECT_EQ(*sent.bstr(), c.bstr);
    EXPECT_EQ(object_call_text(echo, "Echo", {c.text}), c.back);
  }
  // A BSTR result ends at its first U+0000, and other kinds go through VT_BSTR.
  EXPECT_EQ(object_call_text(echo, "Echo", {bstr(u"x\0y"sv)}), "x");
  EXPECT_EQ(object_call_text(echo, "Echo", {-42}), "-42");
  EXPECT_EQ(object_call_text(echo, "Echo", {bytes_variant("a\0"sv)}), "a");
  EXPECT_EQ(bstr_to_text(u"\u0E01"), "?");  // Thai is not in code page 936

  // Long texts cross in pieces; no piece may end inside a character.
  std::string chinese = "a";
  std::u16string chinese_units = u"a";
  for (int i = 0; i < 40000; ++i) {
    chinese += "\xD6\xD0";
    chinese_units += u'\u4E2D';
  }
  EXPECT_TRUE(text_to_bstr(chinese) == chinese_units);
  EXPECT_TRUE(bstr_to_text(chinese_units) == chinese);
  for (std::size_t ascii : {32767u, 32766u, 65535u}) {
    SCOPED_TRACE(ascii);
    const std::u16string units = std::u16string(ascii, u'x') + u"\U0001F600" + u"\u4E2D";
    EXPECT_EQ(bstr_to_text(units), std::string(ascii, 'x') + "?\xD6\xD0");
  }
  EXPECT_TRUE(unregister_class("Test.Echo"));
}

TEST(VariantOperations, SetTypeMakeArrayAssign) {
  struct SetTypeCase {
    int kind;
    HRESULT result;
    Variant expected;
  } set_type_cases[] = {
      {VT_EMPTY, S_OK, Variant()},
      {VT_I4, S_OK, Variant(std::int32_t{0})},
      {VT_BSTR, S_OK, bstr(u"")},
      {7, DISP_E_TYPEMISMATCH, Variant()},
      {VT_ARRAY | VT_UI1, DISP_E_TYPEMISMATCH, Variant()},
      {-1, DISP_E_TYPEMISMATCH, Variant()},
  };
  for (const auto& c : set_type_cases) {
    SCOPED_TRACE(c.kind);
    Variant v = bstr(u"old");
    EXPECT_EQ(variant_set_type(v, c.kind), c.result);
    EXPECT_EQ(v, c.expected);
  }

  Variant v(std::int32_t{5});
  variant_make_array(v, ARRAY_ELEMENT_BYTE, 3);
  EXPECT_EQ(v.kind(), VT_ARRAY | VT_UI1);
  EXPECT_EQ(*v.array(), (SafeArray{VT_UI1, 1, std::string(3, '\0')}));
  variant_assign(v, "\x01\0\xFF\x7F"sv);
  EXPECT_EQ(*v.array(), (SafeArray{VT_UI1, 1, std::string("\x01\0\xFF\x7F"sv)}));
  EXPECT_EQ(variant_to_bytes(v), "\x01\0\xFF\x7F"sv);
  variant_make_array(v, 3, 2);
  EXPECT_TRUE(v.is_empty());
  variant_make_array(v, ARRAY_ELEMENT_BYTE, -1);
  EXPECT_TRUE(v.is_empty());
  variant_make_array(v, ARRAY_ELEMENT_BYTE, 0);
  EXPECT_EQ(v.kind(), VT_ARRAY | VT_UI1);

  // The element kind is the one the variant had before.
  struct AssignCase {
    Variant before;
    VARTYPE kind;
    std::string_view bytes;
  } assign_cases[] = {
      {Variant(), VT_ARRAY, ""},
      {Variant(std::int32_t{1}), VT_ARRAY | VT_I4, ""},
      {bstr(u"x"), VT_ARRAY | VT_BSTR, ""},
      {bytes_variant("zz"), VT_ARRAY | VT_UI1, "ab"},
  };
  for (auto& c : assign_cases) {
    SCOPED_TRACE(c.kind);
    variant_assign(c.before, "ab");
    EXPECT_EQ(c.before.kind(), c.kind);
    EXPECT_EQ(c.before.array()->lower_bound, 1);
    EXPECT_EQ(variant_to_bytes(c.before), c.bytes);
  }
}

TEST(VariantOperations, ToBytesAndChangeType) {
  EXPECT_EQ(variant_to_bytes(Variant()), "");
  EXPECT_EQ(variant_to_bytes(Variant(std::int32_t{65})), "");
  EXPECT_EQ(variant_to_bytes(bstr(u"A\u4E2D")), "A\0\x2D\x4E"sv);
  Variant moved = bytes_variant("xyz");
  EXPECT_EQ(variant_to_bytes(std::move(moved)), "xyz");

  struct Case {
    Variant source;
    VARTYPE kind;
    HRESULT result;
    Variant expected;
  } cases[] = {
      {bstr(u" -12 "), VT_I4, S_OK, Variant(std::int32_t{-12})},
      {bstr(u"+7"), VT_I4, S_OK, Variant(std::int32_t{7})},
      {bstr(u"-2147483648"), VT_I4, S_OK, Variant(std::int32_t{-2147483647 - 1})},
      {bstr(u"2147483648"), VT_I4, DISP_E_OVERFLOW, Variant()},
      {bstr(u"1x"), VT_I4, DISP_E_TYPEMISMATCH, Variant()},
      {bstr(u""), VT_I4, DISP_E_TYPEMISMATCH, Variant()},
      {Variant(std::int32_t{-5}), VT_BSTR, S_OK, bstr(u"-5")},
      {bytes_variant("a\0b"sv), VT_BSTR, S_OK, bstr(u"a")},  // the odd byte is dropped
      {bytes_variant("ab"), VT_I4, DISP_E_TYPEMISMATCH, Variant()},
      {Variant(std::int32_t{1}), VT_EMPTY, S_OK, Variant()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    Variant dest;
    EXPECT_EQ(variant_change_type(&dest, c.source, c.kind), c.result);
    EXPECT_EQ(dest, c.expected);
  }
  Variant same = bstr(u"12");
  EXPECT_EQ(variant_change_type(&same, same, VT_I4), S_OK);
  EXPECT_EQ(same, Variant(std::int32_t{12}));
}

TEST(AdodbStream, StartsClosedInTextModeWithUnicode) {
  const ComScope com;
  ObjectVariable stream;
  ASSERT_EQ(object_create(stream, "ADODB.Stream"), S_OK);
  EXPECT_EQ(int_property(stream, "type"), AD_TYPE_TEXT);
  EXPECT_EQ(int_property(stream, "STATE"), AD_STATE_CLOSED);
  EXPECT_EQ(object_get_property(stream, "Charset"), bstr(u"Unicode"));
  EXPECT_EQ(object_call(stream, "open"), S_OK);
  EXPECT_EQ(int_property(stream, "State"), AD_STATE_OPEN);
  EXPECT_EQ(int_property(stream, "Size"), 0);
  EXPECT_EQ(object_call(stream, "WriteText", {bstr(u"\u4E2D")}), S_OK);
  EXPECT_EQ(all_bytes(stream), "\xFF\xFE\x2D\x4E");
}

TEST(AdodbStream, ClosedStreamAndWrongModeRefuseTheirMembers) {
  const ComScope com;
  ObjectVariable stream;
  ASSERT_EQ(object_create(stream, ADODB_STREAM_PROG_ID), S_OK);
  EXPECT_EQ(object_call(stream, "Close"), AD_ERR_OBJECT_CLOSED);
  EXPECT_EQ(object_call(stream, "Write", {bytes_variant("a")}), AD_ERR_OBJECT_CLOSED);
  EXPECT_TRUE(object_call_variant(stream, "Read").is_empty());
  EXPECT_EQ(object_call(stream, "Read"), AD_ERR_OBJECT_CLOSED);
  EXPECT_EQ(object_call(stream, "ReadText"), AD_ERR_OBJECT_CLOSED);
  EXPECT_EQ(object_call(stream, "WriteText", {"a"}), AD_ERR_OBJECT_CLOSED);
  EXPECT_EQ(object_set_property(stream, "Position", 0), AD_ERR_OBJECT_CLOSED);
  EXPECT_EQ(object_call(stream, "SetEOS"), AD_ERR_OBJECT_CLOSED);
  EXPECT_TRUE(object_get_property(stream, "Position").is_empty());
  EXPECT_TRUE(object_get_property(stream, "Size").is_empty());
  // Type and Charset are set before Open.
  EXPECT_EQ(object_set_property(stream, "Type", AD_TYPE_BINARY), S_OK);
  EXPECT_EQ(object_set_property(stream, "Charset", "UTF-8"), S_OK);
  EXPECT_EQ(object_set_property(stream, "Type", 3), AD_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(object_call(stream, "Open", {"http://127.0.0.1/"}), AD_ERR_FEATURE_NOT_AVAILABLE);

  ASSERT_EQ(object_call(stream, "Open"), S_OK);
  EXPECT_EQ(object_call(stream, "Open"), AD_ERR_OBJECT_OPEN);
  EXPECT_EQ(object_call(stream, "ReadText"), AD_ERR_ILLEGAL_OPERATION);
  EXPECT_EQ(object_call(stream, "WriteText", {"a"}), AD_ERR_ILLEGAL_OPERATION);
  EXPECT_EQ(object_call(stream, "Write", {"a"}), DISP_E_TYPEMISMATCH);  // a BSTR is no byte array
  EXPECT_EQ(object_call(stream, "Write", {Variant(SafeArray{VT_I4, 0, "abcd"})}),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object_call(stream, "Write"), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(int_property(stream, "Size"), 0);
  EXPECT_EQ(object_set_property(stream, "Type", AD_TYPE_TEXT), S_OK);
  EXPECT_EQ(object_call(stream, "Write", {bytes_variant("a")}), AD_ERR_ILLEGAL_OPERATION);
  EXPECT_EQ(object_call(stream, "Read"), AD_ERR_ILLEGAL_OPERATION);
  EXPECT_EQ(object_call(stream, "Type"), DISP_E_MEMBERNOTFOUND);  // a property, not a method
  EXPECT_EQ(object_set_property(stream, "Size", 1), DISP_E_MEMBERNOTFOUND);
}

TEST(AdodbStream, WriteAndReadBytesAtPosition) {
  const ComScope com;
  const ObjectVariable stream = open_stream(AD_TYPE_BINARY, "ab\0cdef"sv);
  EXPECT_EQ(int_property(stream, "Position"), 7);
  EXPECT_EQ(int_property(stream, "Size"), 7);

  struct Case {
    int position;
    HRESULT result;
    int position_after;
  } cases[] = {
      {0, S_OK, 0},
      {3, S_OK, 3},
      {7, S_OK, 7},
      {8, AD_ERR_INVALID_ARGUMENT, 7},
      {-1, AD_ERR_INVALID_ARGUMENT, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    ASSERT_EQ(object_set_property(stream, "Position", 7), S_OK);
    EXPECT_EQ(object_set_property(stream, "Position", c.position), c.result);
    EXPECT_EQ(int_property(stream, "Position"), c.position_after);
  }

  // Read gives the bytes from Position to the end, lower bound 0, and moves Position.
  ASSERT_EQ(object_set_property(stream, "Position", 1), S_OK);
  const Variant read = object_call_variant(stream, "Read");
  ASSERT_NE(read.array(), nullptr);
  EXPECT_EQ(*read.array(), (SafeArray{VT_UI1, 0, std::string("b\0cdef"sv)}));
  EXPECT_EQ(int_property(stream, "Position"), 7);
  EXPECT_TRUE(object_call_variant(stream, "Read").is_empty());  // nothing left
  ASSERT_EQ(object_set_property(stream, "Position", 2), S_OK);
  EXPECT_EQ(variant_to_bytes(object_call_variant(stream, "Read", {2})), "\0c"sv);
  EXPECT_EQ(int_property(stream, "Position"), 4);
  EXPECT_EQ(object_call(stream, "Read", {-2}), AD_ERR_INVALID_ARGUMENT);

  // Write overwrites from Position and extends; SetEOS cuts.
  ASSERT_EQ(object_set_property(stream, "Position", 5), S_OK);
  EXPECT_EQ(object_call(stream, "Write", {bytes_variant("XYZ")}), S_OK);
  EXPECT_EQ(int_property(stream, "Position"), 8);
  ASSERT_EQ(object_set_property(stream, "Position", 1), S_OK);
  EXPECT_EQ(object_call(stream, "Write", {bytes_variant("-")}), S_OK);
  EXPECT_EQ(object_call(stream, "SetEOS"), S_OK);
  EXPECT_EQ(all_bytes(stream), "a-");

  // Type changes only at Position 0.
  ASSERT_EQ(object_set_property(stream, "Position", 1), S_OK);
  EXPECT_EQ(object_set_property(stream, "Type", AD_TYPE_TEXT), AD_ERR_ILLEGAL_OPERATION);
  EXPECT_EQ(int_property(stream, "Type"), AD_TYPE_BINARY);
}

TEST(AdodbStream, OpenEmptiesAndKeepsTypeAndCharset) {
  const ComScope com;
  const ObjectVariable stream = open_stream(AD_TYPE_TEXT, "abc");
  ASSERT_EQ(object_set_property(stream, "Charset", "gbk"), S_OK);
  EXPECT_EQ(object_call(stream, "Close"), S_OK);
  EXPECT_EQ(object_call(stream, "Open"), S_OK);
  EXPECT_EQ(int_property(stream, "Size"), 0);
  EXPECT_EQ(int_property(stream, "Position"), 0);
  EXPECT_EQ(int_property(stream, "Type"), AD_TYPE_TEXT);
  EXPECT_EQ(object_get_property(stream, "Charset"), bstr(u"gbk"));
  EXPECT_EQ(object_call_variant(stream, "ReadText"), bstr(u""));
}

TEST(AdodbStream, WriteTextEncodesWithTheCharsetsMark) {
  const ComScope com;
  struct Case {
    std::string_view charset;
    std::u16string_view text;
    std::string_view bytes;
  } cases[] = {
      {"UTF-8", u"\u4E2Da",
       "\xEF\xBB\xBF\xE4\xB8\xAD"
       "a"},
      {"utf-8", u"", "\xEF\xBB\xBF"},
      {"Unicode", u"\u4E2Da", "\xFF\xFE\x2D\x4E\x61\x00"sv},
      {"UNICODE", u"\U0001F600", "\xFF\xFE\x3D\xD8\x00\xDE"sv},
      {"UnicodeFFFE", u"\u4E2Da", "\xFE\xFF\x4E\x2D\x00\x61"sv},
      {"GBK", u"\u4E2Da",
       "\xD6\xD0"
       "a"},
      {"gb2312", u"\u4E2Da",
       "\xD6\xD0"
       "a"},
      {"Gbk", u"\u20AC\u00B7", "\x80\xA1\xA4"},  // the Windows 936 table
      {"GBK", u"\u0E01\U0001F600", "??"},        // not in code page 936
      {"GBK", u"", ""},
      {"us-ascii", u"a\u4E2D", "a?"},
      {"Big5", u"\u4E2D", "\xA4\xA4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.charset));
    const ObjectVariable stream = open_stream(AD_TYPE_TEXT);
    ASSERT_EQ(object_set_property(stream, "Charset", c.charset), S_OK);
    EXPECT_EQ(object_call(stream, "WriteText", {bstr(c.text)}), S_OK);
    EXPECT_EQ(int_property(stream, "Position"), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(all_bytes(stream), c.bytes);
  }
}

TEST(AdodbStream, WriteTextAwayFromTheStartAddsNoMark) {
  const ComScope com;
  const ObjectVariable stream = open_stream(AD_TYPE_TEXT);
  ASSERT_EQ(object_set_property(stream, "Charset", "UTF-8"), S_OK);
  EXPECT_EQ(object_call(stream, "WriteText", {bstr(u"ab")}), S_OK);
  EXPECT_EQ(object_call(stream, "WriteText", {bstr(u"c"), AD_WRITE_LINE}), S_OK);
  EXPECT_EQ(object_call(stream, "WriteText", {bstr(u"d"), AD_WRITE_CHAR}), S_OK);
  EXPECT_EQ(object_call(stream, "WriteText", {bstr(u"d"), 2}), AD_ERR_INVALID_ARGUMENT);
  // Overwrites from Position, keeping what lies beyond.
  ASSERT_EQ(object_set_property(stream, "Position", 4), S_OK);
  EXPECT_EQ(object_call(stream, "WriteText", {bstr(u"X")}), S_OK);
  EXPECT_EQ(all_bytes(stream),
            "\xEF\xBB\xBF"
            "aXc\r\nd");
}

TEST(AdodbStream, ReadTextDecodesAndSkipsALeadingMark) {
  const ComScope com;
  struct Case {
    std::string_view charset;
    std::string_view bytes;
    std::u16string_view text;
  } cases[] = {
      {"UTF-8",
       "\xEF\xBB\xBF\xE4\xB8\xAD"
       "a",
       u"\u4E2Da"},
      {"utf-8", "\xE4\xB8\xAD", u"\u4E2D"},
      {"UTF-8", "\xEF\xBB\xBF", u""},
      {"UTF-8", "\xEF\xBB\xBF\xEF\xBB\xBF", u"\uFEFF"},  // only one mark is skipped
      {"UTF-8", "\xE4\xB8", u"\uFFFD"},                  // cut short
      {"UTF-8", "a\0b"sv, u"a\0b"sv},
      {"Unicode", "\xFF\xFE\x2D\x4E", u"\u4E2D"},
      {"unicode", "\x2D\x4E", u"\u4E2D"},
      {"GBK",
       "\xD6\xD0"
       "a\x80",
       u"\u4E2Da\u20AC"},
      {"GB2312", "\xEF\xBB\xBF", u"\u9518\uFFFD"},  // no mark in GBK
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + testing::PrintToString(std::string(c.bytes)));
    const ObjectVariable stream = open_stream(AD_TYPE_TEXT, c.bytes);
    ASSERT_EQ(object_set_property(stream, "Charset", c.charset), S_OK);
    EXPECT_EQ(object_call_variant(stream, "ReadText"), bstr(c.text));
    EXPECT_EQ(int_property(stream, "Position"), static_cast<int>(c.bytes.size()));
  }
}

TEST(AdodbStream, ReadTextByCountAndAwayFromTheStart) {
  const ComScope com;
  const ObjectVariable stream = open_stream(AD_TYPE_TEXT, "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87xy");
  ASSERT_EQ(object_set_property(stream, "Charset", "UTF-8"), S_OK);
  EXPECT_EQ(object_call_variant(stream, "ReadText", {1}), bstr(u"\u4E2D"));
  EXPECT_EQ(int_property(stream, "Position"), 6);
  EXPECT_EQ(object_call_variant(stream, "ReadText", {0}), bstr(u""));
  EXPECT_EQ(object_call_variant(stream, "ReadText", {2}), bstr(u"\u6587x"));
  EXPECT_EQ(object_call_variant(stream, "ReadText", {AD_READ_ALL}), bstr(u"y"));
  EXPECT_EQ(object_call(stream, "ReadText", {-2}), AD_ERR_INVALID_ARGUMENT);
  // Away from the start a mark is a character like any other.
  const ObjectVariable marked = open_stream(AD_TYPE_TEXT, "x\xEF\xBB\xBF");
  ASSERT_EQ(object_set_property(marked, "Charset", "utf-8"), S_OK);
  ASSERT_EQ(object_set_property(marked, "Position", 1), S_OK);
  EXPECT_EQ(object_call_variant(marked, "ReadText"), bstr(u"\uFEFF"));
}

// Runs of ASCII are copied rather than converted; what a converter holds back at the end
// of a run of other bytes must still reach it.
TEST(AdodbStream, ConversionAcrossRunsOfAscii) {
  const ComScope com;
  const std::string ascii(40, 'q');
  const std::u16string ascii_units(40, u'q');
  const std::string a13(13, 'a'), a15(15, 'a'), a16383(16383, 'a');
  const std::u16string u13(13, u'a'), u15(15, u'a'), u16383(16383, u'a');
  struct DecodeCase {
    std::string_view charset;
    std::string bytes;
    std::u16string text;
  } decode_cases[] = {
      // A lead byte ends the first block; its trail byte 0x40 opens an ASCII-looking one.
      {"GBK", join({"\xD6\xD0", a13, "\x81\x40", ascii}),
       join({u"\u4E2D", u13, u"\u4E02", ascii_units})},
      {"GB18030", join({a13, "\x81\x30\x81\x30", ascii}), join({u13, u"\u0080", ascii_units})},
      {"UTF-8", join({ascii, "\xE4\xB8", ascii}), join({ascii_units, u"\uFFFD", ascii_units})},
      {"UTF-8", join({a15, "\xE4\xB8\xAD", ascii}), join({u15, u"\u4E2D", ascii_units})},
      {"Big5", join({ascii, "\xA4\xA4", ascii}), join({ascii_units, u"\u4E2D", ascii_units})},
  };
  for (const auto& c : decode_cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + testing::PrintToString(c.bytes));
    const ObjectVariable stream = open_stream(AD_TYPE_TEXT, c.bytes);
    ASSERT_EQ(object_set_property(stream, "Charset", c.charset), S_OK);
    EXPECT_EQ(object_call_variant(stream, "ReadText"), Variant(c.text));
  }

  struct EncodeCase {
    std::string_view charset;
    std::u16string text;
    std::string bytes;
  } encode_cases[] = {
      {"GBK", join({u15, u"\U0001F600", ascii_units}), join({a15, "?", ascii})},
      {"GBK", join({ascii_units, u"\xD800", ascii_units}),
       join({ascii, "?", ascii})},  // lone surrogate
      {"GBK", join({ascii_units, u"\u4E2D", ascii_units}), join({ascii, "\xD6\xD0", ascii})},
      {"UTF-8", join({u16383, u"\U0001F600"}), join({"\xEF\xBB\xBF", a16383, "\xF0\x9F\x98\x80"})},
  };
  for (const auto& c : encode_cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + testing::PrintToString(c.bytes));
    const ObjectVariable stream = open_stream(AD_TYPE_TEXT);
    ASSERT_EQ(object_set_property(stream, "Charset", c.charset), S_OK);
    EXPECT_EQ(object_call(stream, "WriteText", {Variant(c.text)}), S_OK);
    EXPECT_EQ(all_bytes(stream), c.bytes);
  }
}

TEST(AdodbStream, UnknownCharsetMakesTheTextMembersFail) {
  const ComScope com;
  for (std::string_view name : {"x-no-such-charset", "", "utf8", "UTF-8 "}) {
    SCOPED_TRACE(std::string(name));
    const ObjectVariable stream = open_stream(AD_TYPE_TEXT, "abc");
    ASSERT_EQ(object_set_property(stream, "Position", 1), S_OK);
    EXPECT_EQ(object_set_property(stream, "Charset", name), S_OK);
    EXPECT_EQ(object_get_property(stream, "Charset"), Variant(text_to_bstr(name)));
    EXPECT_EQ(object_call(stream, "ReadText"), AD_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(object_call_text(stream, "ReadText"), "");
    EXPECT_EQ(object_call(stream, "WriteText", {"z"}), AD_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(int_property(stream, "Position"), 1);  // nothing changed
    EXPECT_EQ(int_property(stream, "Size"), 3);
    EXPECT_EQ(object_set_property(stream, "Charset", "UTF-8"), S_OK);
    EXPECT_EQ(object_call_text(stream, "ReadText"), "bc");
  }
}

}  // namespace
}  // namespace mvsearch
