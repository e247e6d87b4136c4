// The copy NP_Initialize keeps of the browser's table holds only entries
// that the table's declared size and version cover.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "BrowserFunctions.h"
#include "BrowserRun.h"

namespace {

// A table whose every entry is a distinct non-null value.
NPNetscapeFuncs MarkedTable(uint16_t size, uint16_t version) {
  NPNetscapeFuncs table;
  void** entries = reinterpret_cast<void**>(reinterpret_cast<char*>(&table) +
                                            offsetof(NPNetscapeFuncs, geturl));
  const size_t count = (sizeof(table) - offsetof(NPNetscapeFuncs, geturl)) / sizeof(void*);
  for (size_t i = 0; i < count; ++i) entries[i] = reinterpret_cast<void*>(0x1000 + i);
  table.size = size;
  table.version = version;
  return table;
}

struct TableCase {
  const char* name;
  uint16_t size;
  uint16_t version;
  size_t firstMissing;  // offset of the first entry that must stay null (size cases)
};

TEST(BrowserTable, EntriesPastTheDeclaredSizeAreNotCopied) {
  const TableCase cases[] = {
      {"nothing", 0, 27, offsetof(NPNetscapeFuncs, geturl)},
      {"header only", 4, 27, offsetof(NPNetscapeFuncs, geturl)},
      {"up to memalloc", static_cast<uint16_t>(offsetof(NPNetscapeFuncs, memfree)), 27,
       offsetof(NPNetscapeFuncs, memfree)},
      {"half an entry", static_cast<uint16_t>(offsetof(NPNetscapeFuncs, memfree) + 2), 27,
       offsetof(NPNetscapeFuncs, memfree)},
      {"up to hasmethod", static_cast<uint16_t>(offsetof(NPNetscapeFuncs, releasevariantvalue)),
       27, offsetof(NPNetscapeFuncs, releasevariantvalue)},
  };
  for (const TableCase& c : cases) {
    SCOPED_TRACE(c.name);
    NPNetscapeFuncs from = MarkedTable(c.size, c.version);
    NPNetscapeFuncs to;
    CopyBrowserFunctions(from, &to);
    const char* base = reinterpret_cast<const char*>(&to);
    for (size_t offset = offsetof(NPNetscapeFuncs, geturl); offset < sizeof(to);
         offset += sizeof(void*)) {
      void* entry = *reinterpret_cast<void* const*>(base + offset);
      const bool skippedAlways = offset == offsetof(NPNetscapeFuncs, getJavaEnv) ||
                                 offset == offsetof(NPNetscapeFuncs, getJavaPeer);
      if (offset >= c.firstMissing || skippedAlways) {
        EXPECT_EQ(nullptr, entry) << "offset " << offset;
      } else {
        EXPECT_NE(nullptr, entry) << "offset " << offset;
      }
    }
  }
}

TEST(BrowserTable, LaterEntriesFollowTheVersion) {
  struct VersionCase {
    uint16_t version;
    bool popups, enumerate, async, urlValues, timers;
  };
  const VersionCase cases[] = {
      {15, false, false, false, false, false}, {16, true, false, false, false, false},
      {18, true, true, false, false, false},   {19, true, true, true, false, false},
      {21, true, true, true, true, false},     {23, true, true, true, true, true},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.version);
    NPNetscapeFuncs to;
    CopyBrowserFunctions(MarkedTable(sizeof(NPNetscapeFuncs), c.version), &to);
    EXPECT_EQ(c.popups, to.pushpopupsenabledstate != nullptr);
    EXPECT_EQ(c.popups, to.poppopupsenabledstate != nullptr);
    EXPECT_EQ(c.enumerate, to.enumerate != nullptr);
    EXPECT_EQ(c.async, to.pluginthreadasynccall != nullptr);
    EXPECT_EQ(c.urlValues, to.getvalueforurl != nullptr);
    EXPECT_EQ(c.urlValues, to.getauthenticationinfo != nullptr);
    EXPECT_EQ(c.timers, to.scheduletimer != nullptr);
    EXPECT_EQ(c.timers, to.unscheduletimer != nullptr);
    EXPECT_NE(nullptr, to.construct);
    EXPECT_NE(nullptr, to.releasevariantvalue);
  }
}

// The browser's entries past the size are traps that fail the run when the
// plug-in calls one.
TEST(BrowserTable, APluginGivenAShortTableNeverCallsPastIt) {
  const struct {
    const char* name;
    size_t size;
    const char* script;
  } cases[] = {
      {"without the identifier entries", offsetof(NPNetscapeFuncs, getstringidentifier),
       "setwindow\ncall IsPassAllKey => fail\nexpect-value name \"NPKVTPlayer\"\n"},
      {"without the variant release", offsetof(NPNetscapeFuncs, releasevariantvalue),
       "setwindow\nattach OnUpdateStateChanged\n"
       "call SetProduct \"npshort\" 5 524288000 104857600 => true\n"
       "expect-event OnUpdateStateChanged nonempty\n"
       "call GetVersion => ok\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BrowserRun run = RunBrowser(c.script, "--table-size " + std::to_string(c.size));
    EXPECT_EQ(0, run.exitCode) << run.output;
  }
}

}  // namespace
