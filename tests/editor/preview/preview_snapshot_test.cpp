// The preview's page bytes and content type for notes declaring different charsets, and the
// addresses a previewed page may load.
#include "editor/preview/preview_snapshot.h"

#include <gtest/gtest.h>

#include <QUrl>

#include "common/charset.h"
#include "editor/preview/preview_guard.h"

namespace qm {
namespace {

struct CharsetCase {
    const char* html;
    const char* declared;
    bool servedAsGb;
};

const CharsetCase kCharsetCases[] = {
    {"<meta charset=\"gbk\"><p>中文</p>", "gbk", true},
    {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=GB2312\">中文", "gb2312",
     true},
    {"<meta charset='gb18030'>中文", "gb18030", true},
    {"<meta charset=utf-8>中文", "utf-8", false},
    {"<meta charset=\"big5\">中文", "big5", false},
    {"<p>中文 without a declaration</p>", "", false},
    {"", "", false},
};

class PreviewSnapshotTest : public ::testing::TestWithParam<CharsetCase> {};

TEST_P(PreviewSnapshotTest, ServesTextInDeclaredFamilyAndNamesIt) {
    const CharsetCase& c = GetParam();
    const std::string gb = Utf8ToGb18030(c.html);
    EXPECT_EQ(DeclaredCharset(gb), c.declared);
    const PreviewSnapshot snapshot = MakePreviewSnapshot(gb);
    if (c.servedAsGb) {
        EXPECT_EQ(snapshot.bytes, gb);
        EXPECT_EQ(snapshot.contentType, "text/html;charset=gb18030");
    } else {
        EXPECT_EQ(snapshot.bytes, std::string(c.html));
        EXPECT_EQ(snapshot.contentType, "text/html;charset=utf-8");
    }
}

INSTANTIATE_TEST_SUITE_P(Declarations, PreviewSnapshotTest, ::testing::ValuesIn(kCharsetCases));

TEST(PreviewSnapshotTest, DeclarationPastTheFirstKilobyteIsNotRead) {
    const std::string html = std::string(1100, ' ') + "<meta charset=gbk>";
    EXPECT_EQ(DeclaredCharset(html), "");
}

struct UrlCase {
    const char* url;
    bool allowed;
};

const UrlCase kUrlCases[] = {
    {"qmpreview:note/1", true},           {"QMPREVIEW:note/2", true},
    {"data:image/png;base64,AAAA", true}, {"blob:qmpreview:note/1/abc", true},
    {"file:///etc/passwd", false},        {"/etc/passwd", false},
    {"http://example.com/a.png", false},  {"https://example.com/", false},
    {"ftp://example.com/", false},        {"qrc:/icon.png", false},
    {"chrome://settings", false},         {"javascript:alert(1)", false},
    {"ws://localhost/", false},           {"about:blank", false},
};

class PreviewGuardTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(PreviewGuardTest, OnlyOwnSchemeDataAndBlobLoad) {
    EXPECT_EQ(PreviewMayLoad(QUrl(QString::fromLatin1(GetParam().url))), GetParam().allowed)
        << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(Addresses, PreviewGuardTest, ::testing::ValuesIn(kUrlCases));

}  // namespace
}  // namespace qm
