#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/download/engine_harness.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"

namespace tarvane::test {

// A program directory, a download folder, the test site and the engine wired to them.
class DownloadTest : public ::testing::Test {
protected:
    DownloadTest() : games_(temp_.File("games")) {
        std::filesystem::create_directory(games_);
        engine_ = std::make_unique<EngineHarness>(temp_.Directory(), "127.0.0.1:" + std::to_string(site_.port()));
    }

    // A game page whose parse reply names `path` on the site and `name`.
    std::string Page(const std::string& id, const std::string& path, const std::string& name) {
        std::string page = "http://game.quellora.localhost:8717/game/" + id + ".htm";
        site_.SetParseReply(page, site_.Url(path), name);
        return page;
    }
    std::string Stored(const std::string& page, const std::string& field) {
        return engine_->files.GetItemField(engine_->DownloadFile(), "frmPge", page, field);
    }
    std::string Completed(const std::string& page, const std::string& field) {
        return engine_->files.GetItemField(engine_->CompletedFile(), "frmPge", page, field);
    }
    bool IsCompleted(const std::string& page) { return !Completed(page, "frmPge").empty(); }
    void WriteConfig(const std::string& text) { WriteFile(temp_.File("config.ini"), text); }

    TempDir temp_;
    std::string games_;
    TestSite site_;
    std::unique_ptr<EngineHarness> engine_;
};

}  // namespace tarvane::test
