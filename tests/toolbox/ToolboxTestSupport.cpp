// Test support: a minimal PNG writer (stored deflate blocks, no compression)
// so that tests can leave pictures to look at without another library, and
// throw-away resource files.
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "ToolboxTestSupport.h"

namespace {

uint32_t Crc32(const unsigned char* data, size_t length, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBigEndian(std::vector<unsigned char>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((unsigned char)(value >> shift));
}

void PutChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data)
{
    PutBigEndian(out, uint32_t(data.size()));
    std::vector<unsigned char> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBigEndian(out, Crc32(typed.data(), typed.size()));
}

} // namespace

bool WritePortPng(CGrafPtr port, const std::string& path)
{
    SInt32 width, height;
    const UInt32* pixels = GetPortPixels(port, &width, &height);
    std::vector<unsigned char> raw;
    for (int v = 0; v < height; ++v) {
        raw.push_back(0);  // filter: none
        for (int h = 0; h < width; ++h) {
            const UInt32 p = pixels[v * width + h];
            raw.insert(raw.end(), {(unsigned char)(p >> 16), (unsigned char)(p >> 8), (unsigned char)p});
        }
    }
    std::vector<unsigned char> zlib{0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t length = std::min<size_t>(65535, raw.size() - at);
        zlib.push_back(at + length >= raw.size() ? 1 : 0);
        zlib.insert(zlib.end(), {(unsigned char)length, (unsigned char)(length >> 8), (unsigned char)~length,
                                 (unsigned char)(~length >> 8)});
        zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + length);
        if (raw.empty()) break;
    }
    PutBigEndian(zlib, (b << 16) | a);
    std::vector<unsigned char> header;
    PutBigEndian(header, uint32_t(width));
    PutBigEndian(header, uint32_t(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    std::vector<unsigned char> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", {});
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && ok;
}

ResourceScope::ResourceScope(const std::string& json)
{
    static int serial = 0;
    path_ = ::testing::TempDir() + "toolbox_test_" + std::to_string(::getpid()) + "_" + std::to_string(++serial) +
            ".rsrc.json";
    FILE* file = std::fopen(path_.c_str(), "w");
    if (!file) throw std::runtime_error("cannot write " + path_);
    std::fputs(json.c_str(), file);
    std::fclose(file);
    refNum_ = OpenResourceFile(path_);
}

ResourceScope::~ResourceScope()
{
    CloseResFile(refNum_);
    std::remove(path_.c_str());
}
