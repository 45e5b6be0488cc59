#include "tests/playback/PlaybackTestSupport.h"

#include <unistd.h>

#include <atomic>

#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"

namespace ambro::test {

std::vector<Bytes> fixturePayloads(const std::string& fixture) {
    std::vector<Bytes> payloads;
    for (const auto& picture : splitIntoPictures(readFile(fixturePath(fixture)))) {
        payloads.push_back(PayloadBuilder(PayloadMarker::ChecksumF, picture.bytes).build());
    }
    return payloads;
}

TemporaryFolder::TemporaryFolder() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("ambro-playback-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace ambro::test
