// The publish page: its text, the Ruffle folder copied beside the movie once, and the page
// settings in the options file.
#include "engine/convert_options.h"
#include "engine/html_page.h"
#include "swf/swf_shapes.h"
#include "swf/swf_tag.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::test {

namespace fs = std::filesystem;

namespace {

using testutil::Contains;

TEST(HtmlPage, TextNamesTheMovieItsSizeColourAndRuffle) {
    std::string page = HtmlPageText("my <photo>#1.swf", 280, 184, 0x00332211, "");
    for (const char* part :
         {"load(\"my%20%3Cphoto%3E%231.swf\")", "<title>my &lt;photo&gt;#1.swf</title>",
          "width: 280px; height: 184px;", "background: #112233;", "backgroundColor: \"#112233\"",
          "<script src=\"ruffle/ruffle.js\">"}) {
        EXPECT_TRUE(Contains(page, part)) << part;
    }
    const std::pair<const char*, const char*> cases[] = {
        {"https://cdn.example/r/", "https://cdn.example/r/ruffle.js"},
        {"/lib/ruffle.js", "/lib/ruffle.js"},
        {"/lib?a=1&b=2", "/lib?a=1&amp;b=2/ruffle.js"},
    };
    for (auto [url, script] : cases) {
        EXPECT_TRUE(Contains(HtmlPageText("a.swf", 1, 1, 0, url),
                             std::string("<script src=\"") + script + "\">"))
            << url;
    }
    EXPECT_EQ(HtmlPagePath("/m/clip.v2.swf"), "/m/clip.v2.html");
}

TEST(HtmlPage, RuffleFolderIsCopiedOnceWithoutSourceMaps) {
    testutil::TempDir dir;
    std::string source = dir.File("installed");
    fs::create_directories(source);
    for (const char* name : {"ruffle.js", "core.ruffle.1.js", "1.wasm", "ruffle.js.map"}) {
        ASSERT_TRUE(testutil::WriteFileBytes(source + "/" + name, {'x'}));
    }
    std::string movie = dir.File("out/photo.swf");
    fs::create_directories(dir.File("out"));

    // Without an installed copy the page is written and the message says what is missing.
    EXPECT_TRUE(Contains(PublishHtmlPage(movie, 10, 10, 0, "", dir.File("none")), "no Ruffle"));
    EXPECT_TRUE(fs::exists(dir.File("out/photo.html")));
    EXPECT_FALSE(fs::exists(dir.File("out/ruffle/ruffle.js")));

    EXPECT_EQ(PublishHtmlPage(movie, 10, 10, 0, "", source), "");
    for (const char* name : {"ruffle.js", "core.ruffle.1.js", "1.wasm"}) {
        EXPECT_TRUE(fs::exists(dir.File("out/ruffle/") + name)) << name;
    }
    EXPECT_FALSE(fs::exists(dir.File("out/ruffle/ruffle.js.map")));

    // With an address nothing is copied; a page that cannot be written is reported.
    fs::create_directories(dir.File("web"));
    EXPECT_EQ(PublishHtmlPage(dir.File("web/a.swf"), 10, 10, 0, "https://x/r", source), "");
    EXPECT_FALSE(fs::exists(dir.File("web/ruffle")));
    EXPECT_TRUE(Contains(PublishHtmlPage(dir.File("gone/a.swf"), 10, 10, 0, "", source),
                         "unable to write the HTML page"));
}

TEST(HtmlPage, MovieFrameComesFromTheHeaderAndTheBackgroundTag) {
    testutil::TempDir dir;
    struct Case {
        int width, height;
        bool background;
    } cases[] = {{120, 80, true}, {4000, 3, true}, {1, 1, false}};
    for (const Case& c : cases) {
        CSwfMovie movie;
        if (c.background) {
            movie.AddTag(std::make_unique<CSwfShowFrame>()); // a tag to skip first
            movie.AddTag(std::make_unique<CSwfSetBackgroundColor>(CSwfRGBA::FromBgr(0x00332211)));
        }
        ASSERT_TRUE(movie.WriteFile(dir.File("m.swf").c_str(), c.width * 20, c.height * 20, 12));
        MovieFrame frame;
        ASSERT_TRUE(ReadMovieFrame(dir.File("m.swf"), frame));
        EXPECT_EQ(frame.width, c.width);
        EXPECT_EQ(frame.height, c.height);
        EXPECT_EQ(frame.backgroundBgr, c.background ? 0x00332211u : 0x00FFFFFFu);
    }
    MovieFrame frame;
    ASSERT_TRUE(testutil::WriteFileBytes(dir.File("x.swf"), {'C', 'W', 'S', 5, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(ReadMovieFrame(dir.File("x.swf"), frame));
    EXPECT_FALSE(ReadMovieFrame(dir.File("missing.swf"), frame));
}

TEST(HtmlPage, OptionsFileKeepsThePageSettingsAtTheEnd) {
    ConvertOptions options;
    EXPECT_FALSE(Contains(options.OptionsFileText(), "[HTML_OPS]")); // older layout unchanged

    options.writeHtmlPage = 1;
    std::string text = options.OptionsFileText();
    EXPECT_TRUE(text.ends_with("[HTML_OPS]\r\n1\r\n<*>\r\n"));
    options.writeHtmlPage = 0;
    options.ruffleUrl = "https://cdn.example/ruffle";
    std::string withUrl = options.OptionsFileText();

    ConvertOptions read;
    read.ReadOptionsText(text);
    EXPECT_EQ(read.writeHtmlPage, 1);
    EXPECT_EQ(read.ruffleUrl, "");
    read.ReadOptionsText(withUrl);
    EXPECT_EQ(read.writeHtmlPage, 0);
    EXPECT_EQ(read.ruffleUrl, "https://cdn.example/ruffle");
    EXPECT_EQ(read.OptionsFileText(), withUrl);

    // The worker threads follow, only when not automatic.
    options.workerThreads = 3;
    EXPECT_TRUE(options.OptionsFileText().ends_with("[HTML_OPS]\r\n0\r\nhttps://cdn.example/ruffle"
                                                    "\r\n[THREAD_OPS]\r\n3\r\n"));
    read.ReadOptionsText(options.OptionsFileText());
    EXPECT_EQ(read.workerThreads, 3);
}

} // namespace

} // namespace kestrova::test
