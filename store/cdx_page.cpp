#include "store/cdx_page.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

namespace zol::cdxpage {

namespace {

inline uint64_t lowMask(int bits) { return bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1; }

}  // namespace

int countBits(int keyLen) {
  int b = 0;
  while (b < 16 && (1 << b) <= keyLen) ++b;
  return b;
}

LeafFormat leafFormat(int keyLen, uint32_t maxRecno) {
  LeafFormat f;
  f.cntBits = countBits(keyLen);
  int need = maxRecno ? 32 - std::countl_zero(maxRecno) : 0;
  for (f.bytes = 3;; ++f.bytes) {
    f.recBits = std::min(32, f.bytes * 8 - 2 * f.cntBits);
    if (f.recBits >= need || f.bytes == 8) break;
  }
  return f;
}

void Node::resize(int count, int keyLen, bool interior) {
  n = count;
  keys.resize(static_cast<size_t>(count) * keyLen);
  recs.resize(static_cast<size_t>(count));
  kids.resize(interior ? static_cast<size_t>(count) : 0);
}

void Node::insert(int at, const uint8_t* key, uint32_t rec, uint32_t kid, int keyLen) {
  keys.insert(keys.begin() + static_cast<ptrdiff_t>(at) * keyLen, key, key + keyLen);
  recs.insert(recs.begin() + at, rec);
  if (!leaf()) kids.insert(kids.begin() + at, kid);
  ++n;
}

void Node::erase(int at, int keyLen) {
  keys.erase(keys.begin() + static_cast<ptrdiff_t>(at) * keyLen, keys.begin() + static_cast<ptrdiff_t>(at + 1) * keyLen);
  recs.erase(recs.begin() + at);
  if (!leaf()) kids.erase(kids.begin() + at);
  --n;
}

void Node::append(const Node& o, int from, int to, int keyLen) {
  keys.insert(keys.end(), o.keys.begin() + static_cast<ptrdiff_t>(from) * keyLen,
              o.keys.begin() + static_cast<ptrdiff_t>(to) * keyLen);
  recs.insert(recs.end(), o.recs.begin() + from, o.recs.begin() + to);
  if (!leaf()) kids.insert(kids.end(), o.kids.begin() + from, o.kids.begin() + to);
  n += to - from;
}

const char* decodeNode(const uint8_t* p, int kl, uint8_t pad, Node& out) {
  out.attr = get16(p);
  if (out.attr > 3) return "bad page attribute";
  int n = get16(p + 2);
  out.left = get32(p + 4);
  out.right = get32(p + 8);
  if (!out.leaf()) {
    if (n > maxInteriorKeys(kl)) return "too many keys in an interior page";
    out.resize(n, kl, true);
    const uint8_t* e = p + kInteriorHeader;
    for (int i = 0; i < n; ++i, e += kl + 8) {
      std::memcpy(out.key(i, kl), e, static_cast<size_t>(kl));
      out.recs[static_cast<size_t>(i)] = getBE32(e + kl);
      out.kids[static_cast<size_t>(i)] = getBE32(e + kl + 4);
    }
    return nullptr;
  }
  int recBits = p[20], dupBits = p[21], trailBits = p[22], bytes = p[23];
  if (bytes < 1 || bytes > 8) return "bad leaf entry size";
  if (recBits > 32 || dupBits > 8 || trailBits > 8 || recBits + dupBits + trailBits > bytes * 8)
    return "bad leaf bit counts";
  if (n * bytes > kLeafRoom) return "too many keys in a leaf page";
  out.resize(n, kl, false);
  const uint64_t recMask = lowMask(recBits), dupMask = lowMask(dupBits), trailMask = lowMask(trailBits);
  const int entriesEnd = kLeafHeader + n * bytes;
  const int dupShift = recBits, trailShift = recBits + dupBits;
  // Entries of 3 or 4 bytes (nearly all) are read as one 32-bit word: the
  // last one still ends inside the page.
  const bool word = bytes == 3 || bytes == 4;
  int tail = static_cast<int>(kPage);
  const uint8_t* e = p + kLeafHeader;
  uint8_t* k = out.keys.data();
  for (int i = 0; i < n; ++i, e += bytes, k += kl) {
    uint64_t v = 0;
    if (word) {
      v = get32(e);
    } else {
      for (int b = bytes - 1; b >= 0; --b) v = (v << 8) | e[b];
    }
    int dup = static_cast<int>((v >> dupShift) & dupMask);
    int trail = static_cast<int>((v >> trailShift) & trailMask);
    if (dup + trail > kl) return "bad duplicate or trailing count";
    if (i == 0 && dup) return "first key of a leaf refers to a previous key";
    int tl = kl - dup - trail;
    if (tail - tl < entriesEnd) return "leaf key tails overrun the entries";
    tail -= tl;
    for (int b = 0; b < dup; ++b) k[b] = k[b - kl];
    std::memcpy(k + dup, p + tail, static_cast<size_t>(tl));
    for (int b = kl - trail; b < kl; ++b) k[b] = pad;
    out.recs[static_cast<size_t>(i)] = static_cast<uint32_t>(v & recMask);
  }
  return nullptr;
}

int trailCount(const uint8_t* key, int kl, uint8_t pad) {
  int t = 0;
  while (t < kl && key[kl - 1 - t] == pad) ++t;
  return t;
}

int dupCount(const uint8_t* prev, int prevTrail, const uint8_t* key, int trail, int kl) {
  int limit = std::min(kl - prevTrail, kl - trail);
  int d = 0;
  while (d < limit && prev[d] == key[d]) ++d;
  return d;
}

int leafBytes(const Node& n, int from, int to, int kl, uint8_t pad) {
  if (from >= to) return 0;
  uint32_t maxRec = 0;
  for (int i = from; i < to; ++i) maxRec = std::max(maxRec, n.recs[static_cast<size_t>(i)]);
  int total = (to - from) * leafFormat(kl, maxRec).bytes;
  int prevTrail = 0;
  for (int i = from; i < to; ++i) {
    int t = trailCount(n.key(i, kl), kl, pad);
    int d = i == from ? 0 : dupCount(n.key(i - 1, kl), prevTrail, n.key(i, kl), t, kl);
    total += kl - d - t;
    prevTrail = t;
  }
  return total;
}

bool encodeLeaf(const Node& n, int from, int to, int kl, uint8_t pad, uint16_t attr, uint32_t left, uint32_t right,
                uint8_t* p) {
  uint32_t maxRec = 0;
  for (int i = from; i < to; ++i) maxRec = std::max(maxRec, n.recs[static_cast<size_t>(i)]);
  LeafFormat f = leafFormat(kl, maxRec);
  int count = to - from;
  if (count * f.bytes > kLeafRoom) return false;
  std::memset(p, 0, kPage);
  int tail = static_cast<int>(kPage);
  const int entriesEnd = kLeafHeader + count * f.bytes;
  int prevTrail = 0;
  uint8_t* e = p + kLeafHeader;
  for (int i = from; i < to; ++i, e += f.bytes) {
    const uint8_t* k = n.key(i, kl);
    int t = trailCount(k, kl, pad);
    int d = i == from ? 0 : dupCount(n.key(i - 1, kl), prevTrail, k, t, kl);
    int tl = kl - d - t;
    if (tail - tl < entriesEnd) return false;
    tail -= tl;
    std::memcpy(p + tail, k + d, static_cast<size_t>(tl));
    uint64_t v = n.recs[static_cast<size_t>(i)] | static_cast<uint64_t>(d) << f.recBits |
                 static_cast<uint64_t>(t) << (f.recBits + f.cntBits);
    for (int b = 0; b < f.bytes; ++b) e[b] = static_cast<uint8_t>(v >> (8 * b));
    prevTrail = t;
  }
  put16(p, attr);
  put16(p + 2, static_cast<uint32_t>(count));
  put32(p + 4, left);
  put32(p + 8, right);
  put16(p + 12, static_cast<uint32_t>(tail - entriesEnd));
  put32(p + 14, static_cast<uint32_t>(lowMask(f.recBits)));
  p[18] = static_cast<uint8_t>(lowMask(f.cntBits));
  p[19] = static_cast<uint8_t>(lowMask(f.cntBits));
  p[20] = static_cast<uint8_t>(f.recBits);
  p[21] = static_cast<uint8_t>(f.cntBits);
  p[22] = static_cast<uint8_t>(f.cntBits);
  p[23] = static_cast<uint8_t>(f.bytes);
  return true;
}

void encodeInterior(const Node& n, int from, int to, int kl, uint16_t attr, uint32_t left, uint32_t right,
                    uint8_t* p) {
  std::memset(p, 0, kPage);
  put16(p, attr);
  put16(p + 2, static_cast<uint32_t>(to - from));
  put32(p + 4, left);
  put32(p + 8, right);
  uint8_t* e = p + kInteriorHeader;
  for (int i = from; i < to; ++i, e += kl + 8) {
    std::memcpy(e, n.key(i, kl), static_cast<size_t>(kl));
    putBE32(e + kl, n.recs[static_cast<size_t>(i)]);
    putBE32(e + kl + 4, n.kids[static_cast<size_t>(i)]);
  }
}

void encodeTagHeader(const TagHeader& h, uint8_t* out) {
  std::memset(out, 0, 2 * kPage);
  put32(out, h.root);
  put32(out + 4, h.freeHead);
  put16(out + 12, static_cast<uint32_t>(h.keyLen));
  out[14] = h.options;
  out[15] = 1;
  out[499] = h.caseFolded ? 1 : 0;
  put16(out + 502, h.descending ? 1 : 0);
  uint32_t kLen = static_cast<uint32_t>(h.keyExpr.size()), fLen = static_cast<uint32_t>(h.forExpr.size());
  put16(out + 504, kLen + 1);
  put16(out + 506, fLen + 1);
  put16(out + 508, 0);
  put16(out + 510, kLen + 1);
  std::memcpy(out + 512, h.keyExpr.data(), kLen);
  std::memcpy(out + 512 + kLen + 1, h.forExpr.data(), fLen);
}

namespace {

bool poolText(const uint8_t* pool, uint32_t pos, uint32_t len, std::string& out) {
  out.clear();
  if (len == 0) return true;
  if (pos >= kPage || pos + len > kPage) return false;
  const uint8_t* s = pool + pos;
  size_t n = 0;
  while (n < len && s[n]) ++n;
  out.assign(reinterpret_cast<const char*>(s), n);
  return true;
}

}  // namespace

const char* decodeTagHeader(const uint8_t* in, TagHeader& h) {
  h.root = get32(in);
  h.freeHead = get32(in + 4);
  h.keyLen = get16(in + 12);
  h.options = in[14];
  h.caseFolded = in[499] != 0;
  h.descending = get16(in + 502) != 0;
  if (h.keyLen < 1 || h.keyLen > 240) return "bad key length";
  if (!poolText(in + 512, get16(in + 508), get16(in + 510), h.keyExpr)) return "key expression outside its pool";
  if (!poolText(in + 512, get16(in + 504), get16(in + 506), h.forExpr)) return "FOR expression outside its pool";
  return nullptr;
}

}  // namespace zol::cdxpage
