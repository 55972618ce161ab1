// Seeds of the story chain driver: every chapter of the data set's two
// chains as its text and as its cache.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/StoryChainDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "game/data/SettingFile.h"
#include "game/scenes/testdata/StoryData.h"

namespace seeds {

void MakeStorySeeds(const std::string& root)
{
    using namespace fuzz::story_chain;
    Sink sink(root, "story_chain");
    for (u32 character : {0u, 1u}) {
        const std::vector<story_data::Chapter> chain = story_data::DataChain(character);
        std::string error;
        const auto files = story_data::ChapterFiles(chain, &error);
        FUZZ_CHECK(error.empty() && files.size() == 2 * chain.size());
        for (u32 i = 0; i < chain.size() && i < kChapters; ++i) {
            sink.Add(chain[i].name + "-text", MakeInput(i, kText, character, files[2 * i].second));
            sink.Add(chain[i].name + "-cache", MakeInput(i, kCache, character, files[2 * i + 1].second));
        }
    }
}

}  // namespace seeds
