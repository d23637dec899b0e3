#pragma once
// Consistency check of table and memo files, for support and our own tests.
// Reads only; reports every problem it finds instead of stopping at the first.
#include <cstdint>
#include <string>
#include <vector>

#include "store/file_io.h"

namespace zol {

struct Problem {
  std::string file;
  uint32_t record = 0;  // 0 when the problem is not about one record
  std::string field;
  std::string message;
  std::string text() const;
};

// Checks a table file (header, descriptors, size, every field of every record)
// and, when it has memo fields, its memo file (header, block pointers, runs
// that overlap, the free-block list).
std::vector<Problem> verifyTable(FileSystem& fs, const std::string& tablePath);

// Checks the table's own index file (same name, .cdx) when there is one: its
// pages and chains, and that every tag holds exactly one key per record
// (deleted records included) equal to the key the record gives today.
std::vector<Problem> verifyIndex(FileSystem& fs, const std::string& tablePath);

}  // namespace zol
