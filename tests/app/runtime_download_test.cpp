// The runtime download and cache, against a loopback server: the cache is
// used without any network access, a good archive is tested and cached, and
// every failure leaves the cache as it was and the window usable.
#include "delegate_fixture.h"
#include "loopback_server.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace bundlekiln::app::testing {
namespace {

using bundlekiln::testing::readFile;
using bundlekiln::testing::writeFile;
using Ending = LoopbackServer::Ending;

const std::string armArchive = "nwjs-v0.115.0-osx-arm64.zip";
const std::string armPath = "/v0.115.0/" + armArchive;

class RuntimeDownload : public DelegateTest {
protected:
    RuntimeDownload() { setenv("BUNDLEKILN_NWJS_BASE_URL", server.base().c_str(), 1); }
    ~RuntimeDownload() override { unsetenv("BUNDLEKILN_NWJS_BASE_URL"); }

    std::filesystem::path cache() const { return folder / "data/Bundlekiln"; }
    std::string runtimeField() const { return delegate->fields.at("runtime")->text().toStdString(); }
    std::string status() const { return delegate->status->text().toStdString(); }
    QByteArray validZip() {
        return QByteArray::fromStdString(readFile(makeRuntime(folder / "served", {"--framework-mb", "0.2"})));
    }
    // Starts the download and waits up to `milliseconds` for its end, checking the busy state between.
    void download(int milliseconds = 60000) {
        delegate->downloadButton->click();
        EXPECT_TRUE(delegate->active);
        EXPECT_EQ(disabledControls(*delegate), busyControls(*delegate, idle));
        EXPECT_EQ(status(), "Downloading NW.js 0.115.0\u2026");
        ASSERT_TRUE(waitUntil([this] { return !delegate->active; }, milliseconds));
        EXPECT_EQ(disabledControls(*delegate), idle);
    }
    // Not even the temporary file stays beside the cache.
    void expectNoFileInTheCache() {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "data"))
            EXPECT_TRUE(entry.is_directory()) << entry.path();
    }

    LoopbackServer server;
    std::unique_ptr<AppDelegate> delegate = launch();
    const std::set<QWidget*> idle = disabledControls(*delegate);
};

// The pop-up follows the cache of its architecture, and a cached archive is
// used at once.
TEST_F(RuntimeDownload, ACachedArchiveIsUsedWithoutAnyNetworkAccessOrBusyState) {
    const auto x64 = cache() / "nwjs-v0.115.0-osx-x64.zip";
    writeFile(cache() / armArchive, "cached");
    writeFile(x64, "cached");
    delegate->downloadButton->click();
    EXPECT_FALSE(delegate->active);
    EXPECT_EQ(runtimeField(), (cache() / armArchive).string());
    EXPECT_EQ(status(), "\u2713 Using cached NW.js 0.115.0");
    EXPECT_EQ(saved().string("final.runtime"), runtimeField());
    std::filesystem::remove(cache() / armArchive);
    delegate->arch->setCurrentIndex(1);
    emit delegate->arch->activated(1);
    EXPECT_EQ(runtimeField(), x64.string());
    EXPECT_EQ(saved().string("final.runtime"), x64.string());
    EXPECT_EQ(saved().integer("final.arch"), 1);
    delegate->arch->setCurrentIndex(0);
    emit delegate->arch->activated(0);
    EXPECT_EQ(runtimeField(), "");
    EXPECT_EQ(saved().string("final.runtime"), "");
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(server.requests.empty());
}

TEST_F(RuntimeDownload, AGoodArchiveBehindARedirectIsTestedCachedAndFillsTheField) {
    const QByteArray zip = validZip();
    server.answer(armPath, {302, {}, "Location: /mirror/runtime.zip\r\n", Ending::whole});
    server.answer("/mirror/runtime.zip", {200, zip, {}, Ending::whole});
    delegate->downloadButton->click();
    // The pop-up is locked for the user; even a change from code does not move the file.
    delegate->arch->setCurrentIndex(1);
    ASSERT_TRUE(waitUntil([this] { return !delegate->active; }));
    EXPECT_EQ(status(), "\u2713 Runtime cached");
    EXPECT_EQ(server.requests, (std::vector<std::string>{armPath, "/mirror/runtime.zip"}));
    EXPECT_EQ(std::vector<std::filesystem::path>(std::filesystem::directory_iterator(cache()), {}),
              std::vector<std::filesystem::path>{cache() / armArchive});
    EXPECT_EQ(readFile(cache() / armArchive), zip.toStdString());
    EXPECT_EQ(runtimeField(), (cache() / armArchive).string());
    EXPECT_EQ(saved().string("final.runtime"), runtimeField());
    EXPECT_EQ(beeps, 0);
}

TEST_F(RuntimeDownload, EveryFailureSaysWhyAndLeavesTheCacheAndTheFormAsTheyWere) {
    const std::string failed = "Error: The runtime download failed. Try again or choose an existing ZIP.";
    // The sentence stands first; the archive test's report follows in the details.
    const std::string notAZip =
        "Error: The downloaded file is not a valid ZIP archive. Try again or choose an "
        "existing ZIP.";
    const std::pair<LoopbackServer::Answer, std::string> failures[] = {
        {{404, "missing", {}, Ending::whole}, failed},
        {{500, "broken", {}, Ending::whole}, failed},
        {{200, "<html>not an archive</html>", {}, Ending::whole}, notAZip},
        {{200, validZip(), {}, Ending::dropHalfway}, "Error: "},
    };
    delegate->fields.at("runtime")->setText("/chosen/by/hand.zip");
    for (const auto& [answer, expected] : failures) {
        SCOPED_TRACE(expected + " " + std::to_string(answer.status));
        server.answer(armPath, answer);
        const int beepsBefore = beeps;
        download();
        if (expected == "Error: ") {
            EXPECT_TRUE(status().starts_with(expected) && status().size() > 10 && status() != failed)
                << status();
        } else {
            EXPECT_EQ(status(), expected);
        }
        EXPECT_TRUE(expected != notAZip || delegate->statusLine->details().contains("zipfile"));
        EXPECT_EQ(beeps, beepsBefore + 1);
        EXPECT_EQ(runtimeField(), "/chosen/by/hand.zip");
        EXPECT_FALSE(std::filesystem::exists(cache() / armArchive));
        expectNoFileInTheCache();
    }
    setenv("BUNDLEKILN_NWJS_BASE_URL", "http://127.0.0.1:9", 1);
    download();
    EXPECT_TRUE(status().starts_with("Error: ")) << status();
    EXPECT_FALSE(std::filesystem::exists(delegate->defaults.file()));
}

// Half the body arrives, then nothing: the bar shows it, Cancel ends the
// download at once, and a download left alone fails at the stall limit.
TEST_F(RuntimeDownload, AStalledDownloadShowsItsProgressAndEndsByCancelOrAtTheStallLimit) {
    server.answer(armPath, {200, QByteArray(2'000'000, 'x'), {}, Ending::stallHalfway});
    const QProgressBar& bar = *delegate->footer->progress();
    delegate->downloadButton->click();
    ASSERT_TRUE(waitUntil([&] { return bar.text() == "1.0 MB of 2.0 MB (50%)"; }, 10000))
        << bar.text().toStdString();
    EXPECT_TRUE(bar.isVisible() && delegate->footer->cancelButton()->isVisible());
    delegate->footer->cancelButton()->click();
    EXPECT_FALSE(delegate->active);
    EXPECT_EQ(status(), "Download cancelled.");
    EXPECT_FALSE(bar.isVisible());
    expectNoFileInTheCache();

    delegate->downloadStallLimit = std::chrono::milliseconds(300);
    download(10000);
    EXPECT_EQ(status(), "Error: The download stalled. Try again or choose an existing ZIP.");
    EXPECT_EQ(beeps, 1);
    expectNoFileInTheCache();
}

} // namespace
} // namespace bundlekiln::app::testing
