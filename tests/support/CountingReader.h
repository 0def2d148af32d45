#pragma once

#include "directory/LocalDirectoryReader.h"

#include <map>
#include <memory>
#include <string>

namespace dromel::test {

// The real reader, counting the reads it is asked for, per folder.
class CountingReader : public DirectoryReading {
public:
    std::unique_ptr<DirectoryRead> snapshots(const std::string &folder, bool showHidden,
                                             SnapshotHandler onSnapshot, FinishHandler onFinish) override {
        ++reads[folder];
        return m_reader.snapshots(folder, showHidden, std::move(onSnapshot), std::move(onFinish));
    }
    std::map<std::string, int> reads;

private:
    LocalDirectoryReader m_reader;
};

} // namespace dromel::test
