// The codec against docs/token-vectors.json, the vectors other
// implementations check themselves against.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "token/scramble.h"
#include "token/token_codec.h"

namespace idstamp {
namespace {

// Just enough JSON for the vector file: objects, arrays, strings without
// escapes, and integers.
struct Json {
  std::string text;  // a string
  std::optional<std::int64_t> number;
  std::vector<std::pair<std::string, Json>> members;
  std::vector<Json> items;

  const Json* find(std::string_view key) const {
    for (const auto& [name, value] : members)
      if (name == key) return &value;
    return nullptr;
  }
  const Json& at(std::string_view key) const {
    static const Json none;
    const Json* value = find(key);
    EXPECT_NE(value, nullptr) << "missing key " << key;
    return value != nullptr ? *value : none;
  }
};

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  // value = object / array / string / integer
  std::optional<Json> value() {
    skip_space();
    if (eat('{')) return object();
    if (eat('[')) return array();
    Json v;
    if (peek() == '"') {
      if (!string(v.text)) return std::nullopt;
      return v;
    }
    return integer();
  }

  bool at_end() {
    skip_space();
    return pos_ == text_.size();
  }

 private:
  // object = "{" [ string ":" value *( "," string ":" value ) ] "}"
  std::optional<Json> object() {
    Json v;
    if (eat('}')) return v;
    do {
      std::string key;
      skip_space();
      if (!string(key) || !eat(':')) return std::nullopt;
      std::optional<Json> member = value();
      if (!member) return std::nullopt;
      v.members.emplace_back(std::move(key), std::move(*member));
    } while (eat(','));
    if (!eat('}')) return std::nullopt;
    return v;
  }

  // array = "[" [ value *( "," value ) ] "]"
  std::optional<Json> array() {
    Json v;
    if (eat(']')) return v;
    do {
      std::optional<Json> item = value();
      if (!item) return std::nullopt;
      v.items.push_back(std::move(*item));
    } while (eat(','));
    if (!eat(']')) return std::nullopt;
    return v;
  }

  bool string(std::string& out) {
    if (!eat('"')) return false;
    const std::size_t end = text_.find('"', pos_);
    if (end == std::string_view::npos ||
        text_.substr(pos_, end - pos_).find('\\') != std::string_view::npos)
      return false;
    out = std::string(text_.substr(pos_, end - pos_));
    pos_ = end + 1;
    return true;
  }

  std::optional<Json> integer() {
    const std::size_t start = pos_;
    if (peek() == '-') ++pos_;
    while (peek() >= '0' && peek() <= '9') ++pos_;
    if (pos_ == start) return std::nullopt;
    Json v;
    v.number = std::stoll(std::string(text_.substr(start, pos_ - start)));
    return v;
  }

  void skip_space() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\t'))
      ++pos_;
  }
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  bool eat(char c) {
    skip_space();
    if (peek() != c) return false;
    ++pos_;
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::string unhex(const std::string& hex) {
  EXPECT_EQ(hex.size() % 2, 0u) << "odd hex: " << hex;
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

Json load_vectors() {
  std::ifstream in(IDSTAMP_TOKEN_VECTORS, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Reader reader(text);
  std::optional<Json> json = reader.value();
  EXPECT_TRUE(json && reader.at_end()) << "cannot read " << IDSTAMP_TOKEN_VECTORS;
  return json ? std::move(*json) : Json{};
}

TEST(TokenVectors, DigitMap) {
  const DigitMap map = encode_map();
  EXPECT_EQ(load_vectors().at("digit_map").text, std::string(map.begin(), map.end()));
}

TEST(TokenVectors, Issue) {
  const Json vectors = load_vectors();
  const std::vector<Json>& issue = vectors.at("issue").items;
  EXPECT_GE(issue.size(), 20u);
  for (const Json& v : issue) {
    const std::string id = unhex(v.at("id_hex").text);
    const auto stamp = static_cast<std::uint32_t>(v.at("stamp").number.value_or(-1));
    EXPECT_EQ(crypt_id(id, stamp), unhex(v.at("token_hex").text)) << v.at("id_hex").text;
  }
}

TEST(TokenVectors, Check) {
  const Json vectors = load_vectors();
  const std::vector<Json>& check = vectors.at("check").items;
  EXPECT_GE(check.size(), 20u);
  for (const Json& v : check) {
    const std::string token = unhex(v.at("token_hex").text);
    const auto lifetime = static_cast<std::int32_t>(v.at("lifetime").number.value_or(0));
    const auto now = static_cast<std::uint32_t>(v.at("now").number.value_or(-1));
    const TokenReport report = inspect_token(token, lifetime, now);
    const std::string& name = v.at("token_hex").text;
    EXPECT_EQ(verdict_name(report.verdict), v.at("verdict").text) << name;
    const Json* id_hex = v.find("id_hex");
    EXPECT_EQ(id_hex != nullptr, report.verdict != Verdict::malformed) << name;
    if (id_hex != nullptr) {
      EXPECT_EQ(report.id, unhex(id_hex->text)) << name;
    }
    EXPECT_EQ(decrypt_id(token, lifetime, now),
              report.verdict == Verdict::fresh ? report.id : std::nullopt)
        << name;
  }
}

}  // namespace
}  // namespace idstamp
