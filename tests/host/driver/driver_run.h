#pragma once
// The mqhost program run in process, with the recording plug-in loaded first,
// in a temporary directory of the test's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/driver/driver.h"
#include "recorder_access.h"

namespace driver_test {

namespace fs = std::filesystem;

class DriverRun : public testing::Test {
 protected:
  void SetUp() override {
    state_ = recorder_.state();
    ASSERT_NE(state_, nullptr) << QUORVEL_RECORDER_PATH;
    recorder_.Reset();
    // A directory of this test's own: several builds may run their tests at once.
    directory_ = fs::temp_directory_path() / ("mqhost-driver-test-" + std::to_string(std::random_device{}()));
    ASSERT_TRUE(fs::create_directories(directory_));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
  }

  std::string PathOf(const std::string& name) const { return (directory_ / name).string(); }

  std::string WriteScript(const std::string& text) const {
    const std::string path = PathOf("script.mqs");
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // Runs mqhost with the recorder; `out` and `err` keep what it printed.
  int Run(mqhost::DriverOptions options) {
    options.plugins.insert(options.plugins.begin(), QUORVEL_RECORDER_PATH);
    std::ostringstream out, err;
    const int status = mqhost::RunDriver(options, out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }

  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (int i = 0; i < state_->event_count; ++i) codes.push_back(state_->events[i].code);
    return codes;
  }

  recorder::Access recorder_;
  recorder::State* state_ = nullptr;
  fs::path directory_;
  std::string out_, err_;
};

}  // namespace driver_test
