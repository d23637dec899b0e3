#pragma once
// Page codecs of the compound index file, shared by CdxFile and the tag
// builder. Internal to store/: the layout itself is in docs/formats/cdx.md.
#include <cstdint>
#include <string>
#include <vector>

namespace zol::cdxpage {

constexpr uint32_t kPage = 512;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr int kLeafHeader = 24;
constexpr int kLeafRoom = 488;  // 512 - 24
constexpr int kInteriorHeader = 12;
constexpr uint16_t kAttrRoot = 1;
constexpr uint16_t kAttrLeaf = 2;

inline uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline uint32_t getBE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[3]) | static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[0]) << 24;
}
inline void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void putBE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[3 - i] = static_cast<uint8_t>(v >> (8 * i));
}

// Bits a duplicate or trailing count needs for this key length (4 for 8..15).
int countBits(int keyLen);

// Entry layout of one leaf: bytes per entry and the record-number bits, grown
// from 3 bytes until `maxRecno` fits.
struct LeafFormat {
  int bytes = 3;
  int recBits = 0;
  int cntBits = 0;
};
LeafFormat leafFormat(int keyLen, uint32_t maxRecno);

inline int maxInteriorKeys(int keyLen) { return 500 / (keyLen + 8); }

// A page decoded into fixed-length keys. Interior pages fill `kids`.
struct Node {
  uint32_t off = kNone;
  uint16_t attr = 0;
  uint32_t left = kNone;
  uint32_t right = kNone;
  int n = 0;
  std::vector<uint8_t> keys;  // n * keyLen bytes
  std::vector<uint32_t> recs;
  std::vector<uint32_t> kids;

  bool leaf() const { return (attr & kAttrLeaf) != 0; }
  bool root() const { return (attr & kAttrRoot) != 0; }
  const uint8_t* key(int i, int keyLen) const { return keys.data() + static_cast<size_t>(i) * keyLen; }
  uint8_t* key(int i, int keyLen) { return keys.data() + static_cast<size_t>(i) * keyLen; }
  void resize(int count, int keyLen, bool interior);
  void insert(int at, const uint8_t* key, uint32_t rec, uint32_t kid, int keyLen);
  void erase(int at, int keyLen);
  // Appends entries [from, to) of `o`.
  void append(const Node& o, int from, int to, int keyLen);
};

// Decoders return null on success or a short description of the fault; they
// never read outside the 512 bytes of `page`.
const char* decodeNode(const uint8_t* page, int keyLen, uint8_t pad, Node& out);

// Trailing pad bytes of a key.
int trailCount(const uint8_t* key, int keyLen, uint8_t pad);
// Leading bytes a leaf entry takes from the previous key. Kept within the
// previous key's stored, non-trailing bytes and within this key's own
// non-trailing bytes, so a reader that rebuilds dropped bytes with any filler
// still decodes every key.
int dupCount(const uint8_t* prev, int prevTrail, const uint8_t* key, int trail, int keyLen);

// Bytes (entries plus key tails) entries [from, to) of a leaf node take in a
// page of their own; more than kLeafRoom means they do not fit.
int leafBytes(const Node& n, int from, int to, int keyLen, uint8_t pad);
// Writes entries [from, to) as a leaf page; false when they do not fit.
bool encodeLeaf(const Node& n, int from, int to, int keyLen, uint8_t pad, uint16_t attr, uint32_t left,
                uint32_t right, uint8_t* page);
// Writes entries [from, to) (at most maxInteriorKeys) as an interior page.
void encodeInterior(const Node& n, int from, int to, int keyLen, uint16_t attr, uint32_t left, uint32_t right,
                    uint8_t* page);

struct TagHeader {
  uint32_t root = 0;
  uint32_t freeHead = 0;  // only in the structure tag's header
  int keyLen = 0;
  uint8_t options = 0x60;
  bool descending = false;
  bool caseFolded = false;
  std::string keyExpr;
  std::string forExpr;
};
// 1024 bytes.
void encodeTagHeader(const TagHeader& h, uint8_t* out);
const char* decodeTagHeader(const uint8_t* in, TagHeader& h);

}  // namespace zol::cdxpage
