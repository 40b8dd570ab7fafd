#include "help/compiler/winhelp_file.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace qm::help {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::size_t kTopicBlockSize = 4096;  // a topic block in the file
constexpr std::size_t kBlockHeaderSize = 12;
constexpr std::size_t kDecompressSize = 0x4000;  // what a compressed topic block may expand to
constexpr std::size_t kTopicLinkSize = 21;
constexpr std::uint32_t kCharsetShiftJis = 128;
constexpr char16_t kFaceName[] = u"ＭＳ Ｐゴシック";

void Put8(std::string& out, unsigned value) { out.push_back(static_cast<char>(value & 0xFF)); }
void Put16(std::string& out, unsigned value) {
    Put8(out, value);
    Put8(out, value >> 8);
}
void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// The compressed numbers of a paragraph's description: one byte (or two, or four) with the lowest bit
// telling which.
void PutCompressedUnsignedShort(std::string& out, unsigned value) {
    if (value < 0x80) {
        Put8(out, value * 2);
    } else {
        Put16(out, value * 2 + 1);
    }
}
void PutCompressedShort(std::string& out, int value) {
    if (value >= -64 && value < 64) {
        Put8(out, static_cast<unsigned>((value + 64) * 2));
    } else {
        Put16(out, static_cast<unsigned>((value + 16384) * 2 + 1));
    }
}
void PutCompressedLong(std::string& out, std::int32_t value) {
    if (value >= -16384 && value < 16384) {
        Put16(out, static_cast<unsigned>((value + 16384) * 2));
    } else {
        Put32(out, static_cast<std::uint32_t>(value + 0x40000000) * 2 + 1);
    }
}

class Encoder {
public:
    explicit Encoder(const Codepage& codepage) : codepage_(codepage) {}
    std::string operator()(std::u16string_view text) const {
        if (!codepage_.CanEncode(text)) {
            throw HelpSourceError(0, "\"" + Utf16ToUtf8(text) + "\" has a character that code page 932 cannot write");
        }
        return codepage_.ToAnsi(text);
    }

private:
    const Codepage& codepage_;
};

// Fonts of the topics, by their number in the font file.
enum Font : unsigned { kBody = 0, kTitle = 1, kHeading = 2 };

std::string FontFile(const Encoder& encode) {
    constexpr std::size_t kFaceSize = 32;
    std::string face = encode(kFaceName);
    face.resize(kFaceSize, '\0');
    struct Descriptor {
        unsigned attributes, halfPoints;
        std::array<unsigned, 3> rgb;
    };
    const Descriptor descriptors[] = {{0, 20, {0, 0, 0}}, {1, 28, {0x1F, 0x3A, 0x70}}, {1, 22, {0x1F, 0x3A, 0x70}}};
    std::string out;
    Put16(out, 1);                                              // face names
    Put16(out, static_cast<unsigned>(std::size(descriptors)));  // descriptors
    Put16(out, 8);                                              // where the face names start
    Put16(out, static_cast<unsigned>(8 + kFaceSize));           // where the descriptors start
    out += face;
    for (const Descriptor& d : descriptors) {
        Put8(out, d.attributes);
        Put8(out, d.halfPoints);
        Put8(out, 3);  // swiss
        Put16(out, 0);
        for (unsigned c : d.rgb) Put8(out, c);
        for (int i = 0; i < 3; ++i) Put8(out, 0xFF);
    }
    return out;
}

// One paragraph record: its description (LinkData1, after the record's own header) and its text
// strings (LinkData2), as the viewer reads them in turn.
struct Record {
    unsigned type = 0x20;
    std::string data1;
    std::string data2;
    std::size_t Size() const { return kTopicLinkSize + data1.size() + data2.size(); }
};

Record ParagraphRecord(const Paragraph& paragraph, Font font, const Encoder& encode) {
    std::string format;
    std::string texts;
    unsigned characters = 0;
    std::string current;
    auto endString = [&](std::initializer_list<unsigned> command) {
        texts += current;
        texts.push_back('\0');
        characters += static_cast<unsigned>(current.size());
        current.clear();
        for (unsigned byte : command) Put8(format, byte);
    };
    endString({0x80, font, 0});
    for (std::size_t i = 0; i < paragraph.lines.size(); ++i) {
        if (paragraph.kind == ParagraphKind::Bullet) current += encode(u"・");
        for (const Span& span : paragraph.lines[i]) {
            if (span.target.empty()) {
                current += encode(span.text);
                continue;
            }
            endString({0xE3});
            Put32(format, ContextHash(span.target));
            current = encode(span.text);
            endString({0x89});
        }
        const bool last = i + 1 == paragraph.lines.size();
        endString({last ? 0x82u : 0x81u});
        ++characters;
    }
    endString({0xFF});

    Record record;
    PutCompressedLong(record.data1, static_cast<std::int32_t>(texts.size()));
    PutCompressedUnsignedShort(record.data1, characters);
    Put8(record.data1, 0x00);
    Put8(record.data1, 0x80);
    Put16(record.data1, 0);
    unsigned bits = 0x0004;                                       // spacing below
    if (paragraph.kind != ParagraphKind::Body) bits |= 0x0002;    // spacing above
    if (paragraph.kind == ParagraphKind::Bullet) bits |= 0x0050;  // left and first-line indent
    Put16(record.data1, bits);
    if (bits & 0x0002) PutCompressedShort(record.data1, font == kTitle ? 0 : 12);
    PutCompressedShort(record.data1, font == kTitle ? 12 : 6);
    if (paragraph.kind == ParagraphKind::Bullet) {
        PutCompressedShort(record.data1, 24);
        PutCompressedShort(record.data1, -24);
    }
    record.data1 += format;
    record.data2 = std::move(texts);
    return record;
}

// A B+ tree of one leaf page: the form of the file directory and of the context index.
std::string OnePageTree(unsigned flags, unsigned pageSize, std::string_view structure, const std::vector<std::string>& entries) {
    std::string page;
    for (const std::string& entry : entries) page += entry;
    if (page.size() + 8 > pageSize) throw HelpSourceError(0, "too many entries for one index page");
    std::string out;
    Put16(out, 0x293B);
    Put16(out, flags);
    Put16(out, pageSize);
    std::string format(structure);
    format.resize(16, '\0');
    out += format;
    Put16(out, 0);       // always 0
    Put16(out, 0);       // page splits
    Put16(out, 0);       // root page
    Put16(out, 0xFFFF);  // always -1
    Put16(out, 1);       // pages
    Put16(out, 1);       // levels
    Put32(out, static_cast<std::uint32_t>(entries.size()));
    Put16(out, static_cast<unsigned>(pageSize - 8 - page.size()));  // unused bytes
    Put16(out, static_cast<unsigned>(entries.size()));
    Put16(out, 0xFFFF);  // no previous page
    Put16(out, 0xFFFF);  // no next page
    out += page;
    out.resize(out.size() + (pageSize - 8 - page.size()), '\0');
    return out;
}

std::string InternalFile(std::string_view content) {
    std::string out;
    Put32(out, static_cast<std::uint32_t>(content.size() + 9));  // reserved, header included
    Put32(out, static_cast<std::uint32_t>(content.size()));
    Put8(out, 4);
    out += content;
    return out;
}

void PutSystemRecord(std::string& out, unsigned type, std::string_view data) {
    Put16(out, type);
    Put16(out, static_cast<unsigned>(data.size()));
    out += data;
}

std::string Z(std::string text) {
    text.push_back('\0');
    return text;
}

}  // namespace

std::uint32_t ContextHash(std::u16string_view id) {
    std::uint32_t hash = 0;
    for (char16_t c : id) {
        std::uint32_t value = 0;
        if (c >= u'A' && c <= u'Z') value = static_cast<std::uint32_t>(c - u'A') + 0x11;
        if (c >= u'a' && c <= u'z') value = static_cast<std::uint32_t>(c - u'a') + 0x11;
        if (c >= u'1' && c <= u'9') value = static_cast<std::uint32_t>(c - u'0');
        if (c == u'0') value = 0x0A;
        if (c == u'.') value = 0x0C;
        if (c == u'_') value = 0x0D;
        hash = hash * 43 + value;
    }
    return hash;
}

std::string CompressLz77(std::string_view data) {
    constexpr std::size_t kWindow = 4096, kMaxLength = 18, kMinLength = 3, kCandidates = 512;
    std::string out;
    // The positions where each three-byte sequence was seen, latest last.
    std::map<std::uint32_t, std::vector<std::size_t>> seen;
    auto key = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(data[at])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + 1])) << 8 | static_cast<unsigned char>(data[at + 2]);
    };
    auto remember = [&](std::size_t at) {
        if (at + kMinLength <= data.size()) seen[key(at)].push_back(at);
    };
    std::size_t pos = 0;
    while (pos < data.size()) {
        const std::size_t flagAt = out.size();
        out.push_back('\0');
        unsigned flags = 0;
        for (int bit = 0; bit < 8 && pos < data.size(); ++bit) {
            std::size_t bestLength = 0, bestDistance = 0;
            if (pos + kMinLength <= data.size()) {
                const auto found = seen.find(key(pos));
                if (found != seen.end()) {
                    const auto& places = found->second;
                    std::size_t tried = 0;
                    for (auto it = places.rbegin(); it != places.rend() && tried < kCandidates; ++it, ++tried) {
                        const std::size_t distance = pos - *it;
                        if (distance > kWindow) break;
                        std::size_t length = 0;
                        while (length < kMaxLength && pos + length < data.size() && data[*it + length] == data[pos + length]) ++length;
                        if (length > bestLength) {
                            bestLength = length;
                            bestDistance = distance;
                        }
                    }
                }
            }
            if (bestLength >= kMinLength) {
                flags |= 1u << bit;
                Put16(out, static_cast<unsigned>((bestLength - kMinLength) << 12 | (bestDistance - 1)));
                for (std::size_t i = 0; i < bestLength; ++i) remember(pos + i);
                pos += bestLength;
            } else {
                out.push_back(data[pos]);
                remember(pos);
                ++pos;
            }
        }
        out[flagAt] = static_cast<char>(flags);
    }
    return out;
}

std::string WriteWinHelpFile(const HelpSource& source, const Codepage& codepage, std::u16string_view contentsFile) {
    const Encoder encode(codepage);

    // Every topic fills a topic block of its own: it starts the block, so its topic offset is the
    // block number times 0x8000, and its records never cross into the next block.
    std::string topicFile;
    std::vector<std::uint32_t> topicOffsets;
    const std::size_t count = source.topics.size();
    std::vector<std::vector<Record>> blocks(count);
    for (std::size_t t = 0; t < count; ++t) {
        const Topic& topic = source.topics[t];
        Record header;
        header.type = 0x02;
        header.data1.assign(28, '\0');  // the topic header, written once the positions are known
        header.data2 = Z(encode(topic.title));
        blocks[t].push_back(header);
        blocks[t].push_back(ParagraphRecord(Paragraph{ParagraphKind::Heading, {Line{Span{topic.title, {}}}}}, kTitle, encode));
        for (const Paragraph& paragraph : topic.paragraphs) {
            blocks[t].push_back(ParagraphRecord(paragraph, paragraph.kind == ParagraphKind::Heading ? kHeading : kBody, encode));
        }
    }
    auto position = [](std::size_t block, std::size_t offset) {
        return static_cast<std::uint32_t>(block * kDecompressSize + kBlockHeaderSize + offset);
    };
    std::uint32_t lastLink = kNone;
    for (std::size_t t = 0; t < count; ++t) {
        std::vector<Record>& records = blocks[t];
        std::vector<std::size_t> offsets;
        std::size_t size = 0;
        for (const Record& record : records) {
            offsets.push_back(size);
            size += record.Size();
        }
        if (size > kDecompressSize) {
            throw HelpSourceError(0, "the topic " + Utf16ToUtf8(source.topics[t].id) + " is too long for one topic block");
        }
        std::string data;
        for (std::size_t r = 0; r < records.size(); ++r) {
            Record& record = records[r];
            std::string link;
            if (record.type == 0x02) {
                std::string topicHeader;
                Put32(topicHeader, static_cast<std::uint32_t>(size));
                Put32(topicHeader, kNone);  // no browse sequence
                Put32(topicHeader, kNone);
                Put32(topicHeader, static_cast<std::uint32_t>(t));
                Put32(topicHeader, kNone);  // no non-scrolling region
                Put32(topicHeader, position(t, offsets[r + 1]));
                Put32(topicHeader, t + 1 < count ? position(t + 1, 0) : kNone);
                record.data1 = topicHeader;
            }
            Put32(link, static_cast<std::uint32_t>(record.Size()));
            Put32(link, static_cast<std::uint32_t>(record.data2.size()));
            Put32(link, r == 0 ? lastLink : position(t, offsets[r - 1]));
            const bool lastOfBlock = r + 1 == records.size();
            Put32(link, lastOfBlock ? (t + 1 < count ? position(t + 1, 0) : kNone) : position(t, offsets[r + 1]));
            Put32(link, static_cast<std::uint32_t>(kTopicLinkSize + record.data1.size()));
            Put8(link, record.type);
            data += link + record.data1 + record.data2;
        }
        std::string compressed = CompressLz77(data);
        if (compressed.size() > kTopicBlockSize - kBlockHeaderSize) {
            throw HelpSourceError(0, "the topic " + Utf16ToUtf8(source.topics[t].id) + " is too long for one topic block");
        }
        Put32(topicFile, lastLink);
        Put32(topicFile, position(t, 0));
        Put32(topicFile, position(t, 0));
        compressed.resize(kTopicBlockSize - kBlockHeaderSize, '\0');
        topicFile += compressed;
        lastLink = position(t, offsets.back());
        topicOffsets.push_back(static_cast<std::uint32_t>(t * 0x8000));
    }

    // Context strings and context numbers lead to the topics.
    std::vector<std::pair<std::int32_t, std::uint32_t>> hashes;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> numbers;
    for (std::size_t t = 0; t < count; ++t) {
        hashes.emplace_back(static_cast<std::int32_t>(ContextHash(source.topics[t].id)), topicOffsets[t]);
        if (source.topics[t].map != 0) numbers.emplace_back(source.topics[t].map, topicOffsets[t]);
    }
    std::sort(hashes.begin(), hashes.end());
    for (std::size_t i = 1; i < hashes.size(); ++i) {
        if (hashes[i].first == hashes[i - 1].first) throw HelpSourceError(0, "two topic IDs have the same hash value");
    }
    std::sort(numbers.begin(), numbers.end());
    std::vector<std::string> contextEntries;
    for (const auto& [hash, offset] : hashes) {
        std::string entry;
        Put32(entry, static_cast<std::uint32_t>(hash));
        Put32(entry, offset);
        contextEntries.push_back(entry);
    }
    std::string contextMap;
    Put16(contextMap, static_cast<unsigned>(numbers.size()));
    for (const auto& [number, offset] : numbers) {
        Put32(contextMap, number);
        Put32(contextMap, offset);
    }

    std::string system;
    Put16(system, 0x036C);
    Put16(system, 33);  // the version of Windows 95 help files
    Put16(system, 1);
    Put32(system, 0);  // no date: the same source gives the same file
    Put16(system, 4);  // LZ77, topic blocks of 4 KB
    PutSystemRecord(system, 1, Z(encode(source.title)));
    if (!source.copyright.empty()) PutSystemRecord(system, 2, Z(encode(source.copyright)));
    std::string contents;
    Put32(contents, topicOffsets.front());
    PutSystemRecord(system, 3, contents);
    PutSystemRecord(system, 10, Z(encode(contentsFile)));
    std::string charset;
    Put16(charset, kCharsetShiftJis);
    PutSystemRecord(system, 11, charset);
    std::string dialogFont;
    Put8(dialogFont, 9);
    Put8(dialogFont, kCharsetShiftJis);
    dialogFont += Z(encode(kFaceName));
    PutSystemRecord(system, 12, dialogFont);

    // The internal files, in the order of their names, then the directory that finds them.
    const std::map<std::string, std::string> files = {
        {"|CONTEXT", OnePageTree(0x0002, 0x0800, "L4", contextEntries)},
        {"|CTXOMAP", contextMap},
        {"|FONT", FontFile(encode)},
        {"|SYSTEM", system},
        {"|TOPIC", topicFile},
    };
    std::string body;
    std::vector<std::string> directoryEntries;
    constexpr std::size_t kHeaderSize = 16;
    for (const auto& [name, content] : files) {
        std::string entry = Z(name);
        Put32(entry, static_cast<std::uint32_t>(kHeaderSize + body.size()));
        directoryEntries.push_back(entry);
        body += InternalFile(content);
    }
    const std::uint32_t directoryStart = static_cast<std::uint32_t>(kHeaderSize + body.size());
    body += InternalFile(OnePageTree(0x0402, 0x0400, "z4", directoryEntries));

    std::string out;
    Put32(out, 0x00035F3F);
    Put32(out, directoryStart);
    Put32(out, kNone);  // no free blocks
    Put32(out, static_cast<std::uint32_t>(kHeaderSize + body.size()));
    return out + body;
}

std::string WriteContentsFile(const HelpSource& source, const Codepage& codepage, std::u16string_view helpFile) {
    const Encoder encode(codepage);
    std::string out = encode(u":Base " + std::u16string(helpFile)) + "\r\n";
    out += encode(u":Title " + source.title) + "\r\n";
    int book = -1;
    for (const Topic& topic : source.topics) {
        if (topic.book != book && topic.book >= 0) out += "1 " + encode(source.books[static_cast<std::size_t>(topic.book)]) + "\r\n";
        book = topic.book;
        out += (book >= 0 ? "2 " : "1 ") + encode(topic.title) + "=" + encode(topic.id) + "\r\n";
    }
    return out;
}

}  // namespace qm::help
