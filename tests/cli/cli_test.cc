#include "cli/cli.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "idstamp/version.h"
#include "token/reference.h"

namespace idstamp {
namespace {

using Args = std::vector<std::string_view>;

std::string describe(const Args& args) {
  std::string out;
  for (const std::string_view a : args) out.append("\"").append(a).append("\" ");
  return out;
}

TEST(ScanArguments, Settings) {
  const struct {
    Args args;
    std::optional<std::string_view> id;
    Mode mode;
    std::int32_t lifetime;
  } cases[] = {
      {{}, {}, Mode::none, 30},
      {{"-i", "X"}, "X", Mode::none, 30},
      {{"-c"}, {}, Mode::crypt, 30},
      {{"-c", "-i", "X"}, "X", Mode::crypt, 30},
      {{"-i", "X", "-c"}, "X", Mode::crypt, 30},
      {{"-i", "X", "-d", "-t", "10"}, "X", Mode::decrypt, 10},
      // The last -i, the last valid -t and the last mode win.
      {{"-i", "X", "-i", "Y", "-c"}, "Y", Mode::crypt, 30},
      {{"-i", "X", "-c", "-d"}, "X", Mode::decrypt, 30},
      {{"-t", "10", "-t", "x", "-d"}, {}, Mode::decrypt, 10},
      // A value is visited in its own turn too.
      {{"-i", "-c"}, "-c", Mode::crypt, 30},
      {{"-i", "-d"}, "-d", Mode::decrypt, 30},
      {{"-t", "-c"}, {}, Mode::crypt, 30},
      {{"-i", "-t", "5", "-c"}, "-t", Mode::crypt, 5},
      {{"-i", "-i", "Y"}, "Y", Mode::none, 30},
      // -i or -t as the very last argument has no value.
      {{"-i", "X", "-c", "-i"}, "X", Mode::crypt, 30},
      {{"-i", "X", "-c", "-t"}, "X", Mode::crypt, 30},
      {{"-i"}, {}, Mode::none, 30},
      // Exact, case-sensitive matches only.
      {{"-I", "X", "-C", "-D", "--c", "-c "}, {}, Mode::none, 30},
      {{"-i", ""}, "", Mode::none, 30},
  };
  for (const auto& c : cases) {
    const Settings s = scan_arguments(c.args);
    EXPECT_EQ(s.id, c.id) << describe(c.args);
    EXPECT_EQ(s.mode, c.mode) << describe(c.args);
    EXPECT_EQ(s.lifetime, c.lifetime) << describe(c.args);
  }
}

TEST(ScanArguments, LifetimeValues) {
  const struct {
    std::string_view value;
    std::int32_t lifetime;
  } cases[] = {
      {"45", 45},
      {" 45", 45},
      {"+45", 45},
      {"010", 10},
      {"0", 0},
      {"-5", -5},
      {"99999999999", std::numeric_limits<std::int32_t>::max()},
      {"9223372036854775808", std::numeric_limits<std::int32_t>::max()},
      {"9999999999999999999", std::numeric_limits<std::int32_t>::max()},
      {"-99999999999", std::numeric_limits<std::int32_t>::min()},
      // Not a number: the lifetime keeps its value.
      {"abc", 30},
      {"5x", 30},
      {"45 ", 30},
      {"0x10", 30},
      {"-", 30},
      {"+-5", 30},
      {"", 30},
  };
  for (const auto& c : cases)
    EXPECT_EQ(scan_arguments(Args{"-t", c.value}).lifetime, c.lifetime) << '"' << c.value << '"';
}

// A number sets the lifetime only as the value of -t, wherever else it stands.
TEST(ScanArguments, NumbersElsewhereLeaveTheLifetime) {
  const Args cases[] = {
      {"-i", "5", "-d"},       {"5", "-i", "X", "-d"}, {"-i", "X", "-d", "5"},
      {"-c", "7", "-i", "X"},  {"-T", "5", "-i", "X"}, {"-t5", "-i", "X"},
      {"--t", "5", "-i", "X"}, {"-d", "-i", "-5"},     {"-i", "X", "-t", "", "9"},
  };
  for (const Args& args : cases) EXPECT_EQ(scan_arguments(args).lifetime, 30) << describe(args);
}

TEST(RunCli, Usage) {
  const Args cases[] = {
      {},
      {"-i", "X"},
      {"-c"},
      {"-d"},
      {"-i"},
      {"-i", "X", "-c", "-t", "0"},
      {"-i", "X", "-c", "-t", "-5"},
      {"-i", "X", "-d", "-t", "-99999999999"},
  };
  for (const Args& args : cases) {
    const CliOutput out = run_cli(args);
    EXPECT_EQ(out.text.view(), usage_text) << describe(args);
    EXPECT_EQ(out.status, exit_usage) << describe(args);
  }
  EXPECT_EQ(usage_text,
            "Usage:\n-i id -c crypt -d decrypt -t encrypted id lifetime in minutes (default 30)\n");
}

TEST(RunCli, Silence) {
  const Args cases[] = {
      {"-i", "", "-c"},
      {"-i", "X", "-c", "-d"},
      {"-i", "", "-d"},
      {"-i", "not a token", "-d", "-t", "10"},
  };
  for (const Args& args : cases) {
    const CliOutput out = run_cli(args);
    EXPECT_EQ(out.text.view(), "") << describe(args);
    EXPECT_EQ(out.status, exit_ok) << describe(args);
  }
}

// The token an output line carries, whatever the clock read.
std::optional<std::string> id_in(std::string_view line) {
  if (line.empty() || line.back() != '\n') return std::nullopt;
  const auto contents = reference::contents(line.substr(0, line.size() - 1));
  if (!contents) return std::nullopt;
  return contents->first;
}

TEST(RunCli, Crypt) {
  const struct {
    Args args;
    std::string id;
  } cases[] = {
      {{"-i", "X", "-c"}, "X"},
      {{"-i", "-c"}, "-c"},
      {{"-i", "X", "-c", "-t", "abc"}, "X"},
      {{"-i", "id with spaces 123", "-c"}, "id with spaces 123"},
  };
  for (const auto& c : cases) {
    const CliOutput out = run_cli(c.args);
    EXPECT_EQ(id_in(out.text.view()), c.id) << describe(c.args);
    EXPECT_EQ(out.status, exit_ok) << describe(c.args);
  }
}

TEST(RunCli, DecryptAFreshToken) {
  const std::string line(run_cli(Args{"-i", "ABC", "-c"}).text.view());
  const std::string token = line.substr(0, line.size() - 1);
  EXPECT_EQ(run_cli(Args{"-i", token, "-d"}).text.view(), "ABC\n");
  EXPECT_EQ(run_cli(Args{"-d", "-t", "1", "-i", token}).text.view(), "ABC\n");
  EXPECT_EQ(run_cli(Args{"-i", token, "-d", "-t", "x"}).text.view(), "ABC\n");
}

TEST(RunCli, HelpAndVersionOnlyAlone) {
  const CliOutput help = run_cli(Args{"--help"});
  EXPECT_EQ(help.status, exit_ok);
  EXPECT_EQ(help.text.view().substr(0, usage_text.size()), usage_text);
  for (const char* option : {"-i", "-c", "-d", "-t", "Exit status"})
    EXPECT_NE(help.text.view().find(option, usage_text.size()), std::string::npos) << option;
  const CliOutput version = run_cli(Args{"--version"});
  EXPECT_EQ(version.text.view(), "idstamp " IDSTAMP_VERSION_STRING "\n");
  EXPECT_EQ(version.status, exit_ok);
  // Anywhere else they are ordinary arguments.
  EXPECT_EQ(id_in(run_cli(Args{"-i", "--help", "-c"}).text.view()), "--help");
  EXPECT_EQ(run_cli(Args{"--help", "-c"}).status, exit_usage);
  EXPECT_EQ(run_cli(Args{"--version", "--help"}).text.view(), usage_text);
  EXPECT_EQ(run_cli(Args{"--HELP"}).status, exit_usage);
}

}  // namespace
}  // namespace idstamp
