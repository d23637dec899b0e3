#pragma once
// Shared pieces of the interop tests: finding the independent tools, running
// their dump scripts, and the line form (see scripts/canon.py) in which their
// view of a table and ours are compared field by field.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/value.h"
#include "store/work_area.h"
#include "test_support.h"

namespace zol::interop {

// Debian's interpreter: the python3 on PATH may not see the python3-* packages.
inline const char* kPython = "/usr/bin/python3";

inline std::string scriptPath(const std::string& name) { return std::string(ZOL_INTEROP_SCRIPTS) + "/" + name; }

inline std::string quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

inline bool haveCommand(const std::string& probe) { return test::run(probe + " >/dev/null 2>&1") == 0; }
inline bool haveDbfread() { return haveCommand(std::string(kPython) + " -c 'import dbfread'"); }
inline bool havePythonDbf() { return haveCommand(std::string(kPython) + " -c 'import dbf'"); }
inline bool haveXBase() { return haveCommand("perl -MXBase -e 1"); }
inline bool havePgdbf() { return haveCommand("command -v pgdbf"); }

// Runs `cmd` with stderr folded into the output; fails the test when it exits non-zero.
inline std::string runTool(const std::string& cmd) {
  std::string out;
  int rc = test::run(cmd + " 2>&1", &out);
  EXPECT_EQ(rc, 0) << cmd << "\n" << out;
  return out;
}

// Printable ASCII stays, every other byte of the UTF-8 text becomes \xHH.
inline std::string esc(const std::string& utf8) {
  std::string out;
  char buf[8];
  for (unsigned char c : utf8) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

inline std::string rstripBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

inline std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// A table as a list of field descriptions and records in the line form.
struct Dump {
  struct Field {
    std::string name;
    char type = 'C';
    int length = 0;
    int decimals = 0;
  };
  struct Record {
    bool deleted = false;
    std::vector<std::string> values;
  };
  std::vector<Field> fields;
  std::vector<Record> records;

  std::vector<Record> live() const {
    std::vector<Record> out;
    for (const Record& r : records)
      if (!r.deleted) out.push_back(r);
    return out;
  }
  std::vector<Record> deletedOnes() const {
    std::vector<Record> out;
    for (const Record& r : records)
      if (r.deleted) out.push_back(r);
    return out;
  }
};

inline std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    parts.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return parts;
    start = tab + 1;
  }
}

// Parses the line form; any other line fails the test (a tool's warning, say).
inline Dump parseDump(const std::string& text) {
  Dump d;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> p = splitTabs(line);
    if (p[0] == "F" && p.size() == 5) {
      d.fields.push_back({p[1], p[2].empty() ? '?' : p[2][0], std::stoi(p[3]), std::stoi(p[4])});
    } else if (p[0] == "R" && p.size() >= 2) {
      d.records.push_back({p[1] == "*", std::vector<std::string>(p.begin() + 2, p.end())});
    } else {
      ADD_FAILURE() << "unexpected line from a tool: " << line;
    }
  }
  return d;
}

// One field of the current record of `area` in the line form.
inline std::string canonical(WorkArea& area, int pos) {
  const FieldDesc* f = area.fieldDesc(pos);
  Value v = area.get(pos);
  switch (f->type) {
    case FieldType::Character:
      return esc(cp1252ToUtf8(rstripBlanks(v.text())));
    case FieldType::Memo:
      return esc(cp1252ToUtf8(v.text()));
    case FieldType::Numeric:
    case FieldType::Float:
      return fixed(v.number(), f->decimals);
    case FieldType::Date:
      return v.date().isEmpty() ? std::string() : v.date().dtos();
    case FieldType::Logical:
      return v.logical() ? "T" : "F";
  }
  return "?";
}

// Every record of the table open in `area`, in record-number order, deleted ones included.
inline Dump dumpOurs(WorkArea& area) {
  Dump d;
  for (int i = 1; i <= area.fieldCount(); ++i) {
    const FieldDesc* f = area.fieldDesc(i);
    d.fields.push_back({f->name, f->type, f->width, f->decimals});
  }
  for (uint32_t r = 1; r <= area.recCount(); ++r) {
    area.goTo(r);
    Dump::Record rec;
    rec.deleted = area.deleted();
    for (int i = 1; i <= area.fieldCount(); ++i) rec.values.push_back(canonical(area, i));
    d.records.push_back(std::move(rec));
  }
  return d;
}

inline void expectSameFields(const Dump& expected, const Dump& actual, const std::string& who) {
  ASSERT_EQ(expected.fields.size(), actual.fields.size()) << who;
  for (size_t i = 0; i < expected.fields.size(); ++i) {
    const Dump::Field& e = expected.fields[i];
    const Dump::Field& a = actual.fields[i];
    EXPECT_EQ(e.name, a.name) << who << " field " << i + 1;
    EXPECT_EQ(e.type, a.type) << who << " field " << e.name;
    EXPECT_EQ(e.length, a.length) << who << " field " << e.name;
    EXPECT_EQ(e.decimals, a.decimals) << who << " field " << e.name;
  }
}

// Record by record, field by field, so a failure names the record and field.
inline void expectSameRecords(const std::vector<Dump::Field>& fields, const std::vector<Dump::Record>& expected,
                              const std::vector<Dump::Record>& actual, const std::string& who) {
  ASSERT_EQ(expected.size(), actual.size()) << who << ": record count";
  for (size_t r = 0; r < expected.size(); ++r) {
    const Dump::Record& e = expected[r];
    const Dump::Record& a = actual[r];
    EXPECT_EQ(e.deleted, a.deleted) << who << " record " << r + 1 << ": deletion flag";
    ASSERT_EQ(e.values.size(), a.values.size()) << who << " record " << r + 1;
    for (size_t i = 0; i < e.values.size(); ++i) {
      std::string name = i < fields.size() ? fields[i].name : std::to_string(i + 1);
      EXPECT_EQ(e.values[i], a.values[i]) << who << " record " << r + 1 << " field " << name;
    }
  }
}

}  // namespace zol::interop
