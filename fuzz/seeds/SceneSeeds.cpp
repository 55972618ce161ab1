// Seeds of the scene layout (.sce) and resource list (.grc) readers, laid
// out from their records as the scene tests lay out their golden files.
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/tests/SceneTestSupport.h"
#include "fuzz/seeds/Seeds.h"

namespace seeds {

namespace {

Bytes Grc(u32 header, const std::vector<std::string>& records)
{
    scene_test::Bytes b;
    b.U32(header);
    for (const std::string& r : records) b.Text(r, 260);
    return b.Text("EOF", 260);
}

}  // namespace

void MakeSceneSeeds(const std::string& root)
{
    using namespace scene_test;
    Sink sce(root, "sce");
    const std::string logo = LayerRecord("Logo", Settings(), "Menu.bmp", EmptyTracks());
    Settings turned;
    turned.rotation = 30;
    turned.orientation = 2;
    turned.anchor = 17;
    sce.Add("one-layer.sce", SceneFile("Title", {logo}));
    const std::string nested = SceneFile("Menu", {LayerRecord("Group", turned, "", EmptyTracks(), {logo, logo}), logo});
    sce.Add("nested.sce", nested);
    sce.Add("unnamed-empty.sce", SceneFile("", {}));
    // Cut short inside the last top-level layer, and a layer name stored
    // without its NUL.
    sce.Add("cut-short.sce", nested.substr(0, nested.size() - logo.size() / 2));
    std::string unended = SceneFile("Title", {logo});
    unended[unended.find(std::string("Logo") + '\0') + 4] = '!';
    sce.Add("name-without-nul.sce", unended);

    Sink grc(root, "grc");
    grc.Add("media.grc", Grc(0x1234, {"Menu.bmp", "Hit.wav", "notes.txt"}));
    grc.Add("every-kind.grc",
            Grc(7, {"Menu.bmp", "Hit.wav", "Scene\\Title.sce", "Effect\\Efc_a.efc", "Data\\Pack.gpk", "notes.txt"}));
    grc.Add("empty.grc", Grc(0, {}));
    const std::string whole = Grc(3, {"Menu.bmp", "notes.txt"});
    grc.Add("no-end-record.grc", whole.substr(0, whole.size() - 260 - 40));

    Sink efc(root, "efc");
    CEffectContainer empty;
    empty.SetName("Efc_empty");
    efc.Add("empty.efc", empty.SaveToMemory());
    CEffectContainer sparks;
    sparks.SetName("Efc_sparks");
    auto* spark = new CEffectObject();
    spark->SetName("Spark");
    spark->GetParticleTrack().AddKey(0.0f, 4u);
    spark->GetParticleTrack().AddKey(0.5f, 0u);
    auto* glow = new CEffectObject();
    glow->SetName("Glow");
    sparks.AddObject(spark);
    sparks.AddObject(glow);
    const std::string two = sparks.SaveToMemory();
    efc.Add("two-objects.efc", two);
    std::string trackUnended = two;
    trackUnended[trackUnended.find(std::string("Rotation") + '\0') + 8] = '!';
    efc.Add("track-name-without-nul.efc", trackUnended);
    efc.Add("cut-short.efc", two.substr(0, two.size() / 2));
}

}  // namespace seeds
