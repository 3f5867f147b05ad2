// Turned text as the data of a picture comment: fixed fields, then the glyphs
// and the bytes, in the machine's byte order (the comment never leaves the
// process).
#include "recorder/TurnedText.h"

#include <cstring>

namespace {

class Writer {
public:
    template <class T>
    void Put(const T& value)
    {
        bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void PutBytes(const std::string& text) { bytes_ += text; }
    std::string Take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    template <class T>
    bool Get(T& value)
    {
        if (bytes_.size() - at_ < sizeof value) return false;
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        return true;
    }
    bool GetBytes(size_t count, std::string& text)
    {
        if (bytes_.size() - at_ < count) return false;
        text.assign(bytes_, at_, count);
        at_ += count;
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }

private:
    const std::string& bytes_;
    size_t at_ = 0;
};

constexpr UInt32 kMagic = 0x54524E54;  // "TRNT"

}  // namespace

std::string EncodeTurnedText(const TurnedText& text)
{
    const PictureText& run = text.run;
    Writer out;
    out.Put(kMagic);
    out.Put(text.h);
    out.Put(text.v);
    out.Put(run.origin);
    out.Put(run.font);
    out.Put(run.size);
    out.Put(run.face);
    out.Put(run.pixel);
    out.Put(run.width);
    out.Put(run.ink);
    out.Put(run.clip);
    out.Put(UInt32(run.glyphs.size()));
    for (const PictureGlyph& glyph : run.glyphs) {
        out.Put(UInt32(glyph.code));
        out.Put(glyph.h);
    }
    out.Put(UInt32(run.macRoman.size()));
    out.PutBytes(run.macRoman);
    return out.Take();
}

std::optional<TurnedText> DecodeTurnedText(const std::string& data)
{
    Reader in(data);
    TurnedText text;
    PictureText& run = text.run;
    UInt32 magic = 0, glyphCount = 0, byteCount = 0;
    if (!in.Get(magic) || magic != kMagic) return std::nullopt;
    if (!in.Get(text.h) || !in.Get(text.v) || !in.Get(run.origin) || !in.Get(run.font) || !in.Get(run.size) ||
        !in.Get(run.face) || !in.Get(run.pixel) || !in.Get(run.width) || !in.Get(run.ink) || !in.Get(run.clip) ||
        !in.Get(glyphCount) || glyphCount > data.size())
        return std::nullopt;
    for (UInt32 i = 0; i < glyphCount; ++i) {
        UInt32 code = 0;
        PictureGlyph glyph{};
        if (!in.Get(code) || !in.Get(glyph.h)) return std::nullopt;
        glyph.code = char32_t(code);
        run.glyphs.push_back(glyph);
    }
    if (!in.Get(byteCount) || !in.GetBytes(byteCount, run.macRoman) || !in.AtEnd()) return std::nullopt;
    return text;
}

size_t TurnedTextEnd(const PictureRecord& record, size_t index)
{
    for (size_t i = index + 1; i < record.ops.size(); ++i) {
        const PictureOp& op = record.ops[i];
        if (op.kind != PictureOpKind::comment) continue;
        const SInt16 kind = record.comments[op.first].kind;
        if (kind == kTurnedTextEnd) return i;
        if (kind == kTurnedTextBegin) return 0;
    }
    return 0;
}
