#include "store/text_decoder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "common/charset.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// GB18030 form of a UTF-8 literal: what the decoder should return.
std::string Gb(std::string_view utf8) { return Utf8ToGb18030(utf8); }

// `utf8` in another charset, made by iconv; fails the test when iconv cannot encode it.
std::string Encode(std::string_view utf8, const char* charset) {
    std::string out;
    const bool known = ConvertCharset(utf8, "UTF-8", charset, "<?>", &out);
    EXPECT_TRUE(known) << charset;
    EXPECT_EQ(out.find("<?>"), std::string::npos) << "not encodable in " << charset;
    return out;
}

const char* EncodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kNone:
            return "none";
        case TextEncoding::kGbk:
            return "gbk";
        case TextEncoding::kUtf8:
            return "utf-8";
        case TextEncoding::kUtf16Le:
            return "utf-16le";
        case TextEncoding::kUtf16Be:
            return "utf-16be";
        case TextEncoding::kBig5:
            return "big5";
        case TextEncoding::kBig5Hkscs:
            return "big5-hkscs";
    }
    return "?";
}

class TextDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "text_decoder_test.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string WriteFile(const std::string& name, std::string_view bytes) {
        const std::string path = (dir_ / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << path;
        return path;
    }

    static std::string ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Writes `bytes` through zlib's gzip writer and returns the file's path.
    std::string WriteGzip(const std::string& name, std::string_view bytes) {
        const std::string path = (dir_ / name).string();
        gzFile file = gzopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (file == nullptr) return path;
        EXPECT_EQ(gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size())),
                  static_cast<int>(bytes.size()));
        EXPECT_EQ(gzclose(file), Z_OK);
        return path;
    }

    fs::path dir_;
};

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::string expected;  // GB18030
    TextEncoding encoding;
};

// Each case is decoded from a file and from memory; both must give the same.
void CheckCases(const std::vector<DecodeCase>& cases,
                const std::function<std::string(const DecodeCase&)>& write) {
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText from_file = DecodeText(write(c), {}, {});
        EXPECT_EQ(from_file.text, c.expected);
        EXPECT_EQ(EncodingName(from_file.encoding), std::string(EncodingName(c.encoding)));
        EXPECT_EQ(DecodeTextBytes(c.bytes), c.expected);
    }
}

TEST_F(TextDecoderTest, PlainFilesInEveryEncoding) {
    const std::string chinese = "笔记本：简体中文 and ASCII\r\n第二行";
    const std::string gbk_as_utf8 = Gb("一千十小");  // D2 BB C7 A7 CA AE D0 A1
    const std::string emoji_utf8 = "smile \xF0\x9F\x98\x80";
    const std::vector<DecodeCase> cases = {
        {"utf-8 with mark", "\xEF\xBB\xBF" + chinese, Gb(chinese), TextEncoding::kUtf8},
        {"utf-8 without mark", chinese, Gb(chinese), TextEncoding::kUtf8},
        {"pure ascii is unchanged", "plain text\r\nline 2\n", "plain text\r\nline 2\n",
         TextEncoding::kGbk},
        {"utf-16le with mark", "\xFF\xFE" + Encode(chinese, "UTF-16LE"), Gb(chinese),
         TextEncoding::kUtf16Le},
        {"utf-16be with mark", "\xFE\xFF" + Encode(chinese, "UTF-16BE"), Gb(chinese),
         TextEncoding::kUtf16Be},
        {"utf-16 without mark is raw, cut at the first zero", Encode("ab", "UTF-16LE"), "a",
         TextEncoding::kGbk},
        {"gbk is unchanged", Gb(chinese), Gb(chinese), TextEncoding::kGbk},
        {"gbk that is valid utf-8 is taken as utf-8", gbk_as_utf8, Gb(gbk_as_utf8),
         TextEncoding::kUtf8},
        {"four-byte utf-8 is not utf-8", emoji_utf8, emoji_utf8, TextEncoding::kGbk},
        {"gbk cut at an embedded zero", Gb("中文") + std::string("\0more", 5), Gb("中文"),
         TextEncoding::kGbk},
        {"utf-8 cut at an embedded zero", "\xEF\xBB\xBF" + std::string("前\0后", 7), Gb("前"),
         TextEncoding::kUtf8},
        {"undecodable utf-8 byte becomes ?",
         "\xEF\xBB\xBF"
         "a\xFF"
         "b",
         "a?b", TextEncoding::kUtf8},
        {"mark alone leaves nothing to convert: raw bytes", "\xEF\xBB\xBF", "\xEF\xBB\xBF",
         TextEncoding::kGbk},
        {"empty", "", "", TextEncoding::kGbk},
    };
    ASSERT_NE(gbk_as_utf8, Gb(gbk_as_utf8));
    int index = 0;
    CheckCases(cases, [&](const DecodeCase& c) {
        return WriteFile("plain" + std::to_string(index++) + ".txt", c.bytes);
    });
}

TEST_F(TextDecoderTest, HtmlMetaCharsetChoosesTheSourceCharset) {
    struct HtmlCase {
        const char* head;     // the markup before the body
        const char* body;     // UTF-8
        const char* charset;  // how the file is encoded
        TextEncoding encoding;
    };
    const char* kTraditional = "臺灣繁體中文";
    const char* kHongKong = "香港嘅字";  // 嘅 exists in Big5-HKSCS only
    const HtmlCase cases[] = {
        {"<html><HEAD><META http-equiv=Content-Type content=\"text/html; charset=big5\">"
         "</HEAD>",
         kTraditional, "BIG5", TextEncoding::kBig5},
        {"<html><head><meta content=\"text/html; CHARSET=BIG5\"></head>", kTraditional, "BIG5",
         TextEncoding::kBig5},
        {"<html><Head><meta charset=\"Big5\"></Head>", kTraditional, "BIG5", TextEncoding::kBig5},
        {"<html><head><Meta Charset='bIG5'></head>", kTraditional, "BIG5", TextEncoding::kBig5},
        {"<html><head><meta charset=\"Big5-HKSCS\"></head>", kHongKong, "BIG5-HKSCS",
         TextEncoding::kBig5Hkscs},
        {"<html><head><meta charset='big5-hkscs'></head>", kHongKong, "BIG5-HKSCS",
         TextEncoding::kBig5Hkscs},
        // Unquoted, "charset=Big5" is found first: converted as Big5.
        {"<html><head><meta content=text/html;charset=Big5-HKSCS></head>", kTraditional,
         "BIG5-HKSCS", TextEncoding::kBig5},
        {"<html><head><title>t</title><meta name=author content=x>"
         "<meta charset=big5></head>",
         kTraditional, "BIG5", TextEncoding::kBig5},
        {"<meta charset=big5><p>no head part: the whole text is probed</p>", kTraditional, "BIG5",
         TextEncoding::kBig5},
        {"<html><head><meta charset=utf-8></head>", "简体中文", "UTF-8", TextEncoding::kUtf8},
        // gb2312 is no meta result; the UTF-8 check then decides.
        {"<html><head><meta charset=gb2312></head>", "简体中文", "GB18030", TextEncoding::kGbk},
        {"<html><head><meta charset=gb2312></head>", "一千", "GB18030", TextEncoding::kUtf8},
    };
    int index = 0;
    for (const HtmlCase& c : cases) {
        SCOPED_TRACE(c.head);
        const std::string html = std::string(c.head) + "<body>" + c.body + "</body></html>";
        const std::string bytes = Encode(html, c.charset);
        const std::string path = WriteFile("page" + std::to_string(index++) + ".htm", bytes);
        const DecodedText decoded = DecodeText(path, {}, {});
        EXPECT_EQ(EncodingName(decoded.encoding), std::string(EncodingName(c.encoding)));
        if (c.encoding == TextEncoding::kUtf8 && std::string(c.charset) == "GB18030") {
            EXPECT_EQ(decoded.text, Gb(bytes));  // GBK bytes read as UTF-8
        } else {
            EXPECT_EQ(decoded.text, Gb(html));
        }
    }
}

TEST_F(TextDecoderTest, UnquotedBig5HkscsLosesTheHongKongCharacters) {
    const std::string html = "<head><meta charset=BIG5-HKSCS></head>香港嘅字";
    const DecodedText decoded = DecodeText({}, Encode(html, "BIG5-HKSCS"), {});
    EXPECT_EQ(decoded.encoding, TextEncoding::kBig5);
    EXPECT_NE(decoded.text.find(Gb("香港")), std::string::npos);
    EXPECT_EQ(decoded.text.find(Gb("嘅")), std::string::npos);
    EXPECT_NE(decoded.text.find('?'), std::string::npos);
}

TEST_F(TextDecoderTest, MetaOutsideTheHeadPartIsIgnored) {
    const std::string html =
        "<html><head><title>x</title></head><body><meta charset=big5>臺灣</body></html>";
    const std::string bytes = Encode(html, "BIG5");
    const DecodedText decoded = DecodeText({}, bytes, {});
    EXPECT_EQ(decoded.encoding, TextEncoding::kGbk);
    EXPECT_EQ(decoded.text, bytes);
}

TEST_F(TextDecoderTest, MarkWinsOverMeta) {
    const std::string html = "<head><meta charset=big5></head>简体";
    const DecodedText decoded = DecodeText({}, "\xEF\xBB\xBF" + html, {});
    EXPECT_EQ(decoded.encoding, TextEncoding::kUtf8);
    EXPECT_EQ(decoded.text, Gb(html));
}

TEST_F(TextDecoderTest, GzipIsInflatedBeforeRecognition) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "第" + std::to_string(i) + "行：压缩的文本\r\n";
    const std::vector<DecodeCase> cases = {
        {"gzip of utf-8 with mark", "\xEF\xBB\xBF" + text, Gb(text), TextEncoding::kUtf8},
        {"gzip of gbk", Gb(text), Gb(text), TextEncoding::kGbk},
        {"gzip of an empty file: raw bytes, cut at the first zero", "", "", TextEncoding::kGbk},
    };
    int index = 0;
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteGzip("packed" + std::to_string(index++) + ".gz", c.bytes);
        const std::string packed = ReadBytes(path);
        ASSERT_EQ(packed.substr(0, 2), "\x1F\x8B");
        const DecodedText decoded = DecodeText(path, {}, {});
        EXPECT_EQ(EncodingName(decoded.encoding), std::string(EncodingName(c.encoding)));
        if (c.bytes.empty()) {
            // Nothing inflated: the gzip bytes themselves are the text, up to their first zero.
            EXPECT_EQ(decoded.text, packed.substr(0, packed.find('\0')));
        } else {
            EXPECT_EQ(decoded.text, c.expected);
            EXPECT_EQ(DecodeTextBytes(packed), c.expected);
        }
    }
}

TEST_F(TextDecoderTest, TruncatedGzipYieldsWhatInflatedBeforeTheCut) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "第" + std::to_string(i * 7919 % 10007) + "行文本\n";
    const std::string packed = ReadBytes(WriteGzip("whole.gz", "\xEF\xBB\xBF" + text));
    const std::string expected = Gb(text);
    for (size_t cut : {packed.size() / 2, packed.size() - 9}) {
        SCOPED_TRACE(cut);
        const DecodedText decoded = DecodeText({}, packed.substr(0, cut), {});
        EXPECT_EQ(decoded.encoding, TextEncoding::kUtf8);
        // A character cut in two at the end becomes '?'s; the rest is a true prefix.
        std::string got = decoded.text;
        while (!got.empty() && got.back() == '?') got.pop_back();
        EXPECT_GT(got.size(), 1000u);
        EXPECT_LE(got.size(), expected.size());
        EXPECT_EQ(expected.compare(0, got.size(), got), 0);
    }
}

TEST_F(TextDecoderTest, GzipThatUnpacksPastTheLimitStopsThere) {
    // About 300 KB of gzip that would unpack to 300 MB of 'a'.
    const std::string path = (dir_ / "bomb.gz").string();
    gzFile file = gzopen(path.c_str(), "wb9");
    ASSERT_NE(file, nullptr);
    const std::string block(1 << 20, 'a');
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(gzwrite(file, block.data(), static_cast<unsigned>(block.size())),
                  static_cast<int>(block.size()));
    }
    ASSERT_EQ(gzclose(file), Z_OK);
    const DecodedText decoded = DecodeText(path, {}, {});
    EXPECT_EQ(decoded.text.size(), kMaxInflatedSize);
    EXPECT_EQ(decoded.text.find_first_not_of('a'), std::string::npos);
}

TEST_F(TextDecoderTest, GarbageAfterTheGzipMagicIsTakenAsRawText) {
    const std::string garbage =
        "\x1F\x8B"
        "this is no deflate stream at all";
    const std::string path = WriteFile("garbage.gz", garbage);
    const DecodedText decoded = DecodeText(path, {}, {});
    EXPECT_EQ(decoded.encoding, TextEncoding::kGbk);
    EXPECT_EQ(decoded.text, garbage);
}

TEST_F(TextDecoderTest, FileThatCannotBeOpenedGivesEmptyText) {
    const DecodedText missing = DecodeText((dir_ / "missing.txt").string(), "bytes", "text");
    EXPECT_EQ(missing.text, "");
    EXPECT_EQ(missing.encoding, TextEncoding::kNone);
    EXPECT_EQ(ReadTextFile((dir_ / "missing.txt").string()), "");
    EXPECT_EQ(ReadTextFile(dir_.string()), "");  // a folder
}

TEST_F(TextDecoderTest, InputIsThePathThenTheBytesThenTheText) {
    const std::string path = WriteFile("a.txt", "from file");
    EXPECT_EQ(DecodeText(path, "bytes", "text").text, "from file");
    EXPECT_EQ(DecodeText({}, "bytes", "text").text, "bytes");
    EXPECT_EQ(DecodeText({}, {}, "text").text, "text");
    EXPECT_EQ(ReadTextFile(path), "from file");
}

TEST_F(TextDecoderTest, LargeFilesDecodeCompletely) {
    std::string text;
    while (text.size() < 3 * 1024 * 1024) text += "大文件的一行 with some ASCII 12345\r\n";
    const std::string expected = Gb(text);
    EXPECT_EQ(ReadTextFile(WriteFile("big-utf8.txt", text)), expected);
    EXPECT_EQ(ReadTextFile(WriteFile("big-gbk.txt", expected)), expected);
}

}  // namespace
}  // namespace qm
