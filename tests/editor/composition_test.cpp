// The composition root: the effect creates its editor and reports it; an
// editor that cannot be made leaves the effect without one and makes the
// module refuse every later effect. The flag it sets lasts for the process,
// so these tests have a program of their own and run in the order written.

#include <gtest/gtest.h>

#include <memory>

#include "plugin/plugin_effect_with_editor.h"
#include "support/headless_editor.h"

namespace {

vst2::intptr host(vst2::AEffect*, vst2::int32 opcode, vst2::int32, vst2::intptr, void*, float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

HostEditor* noMemory(PluginEffect&) {
    return nullptr;
}

} // namespace

TEST(Composition, TheEffectComesWithItsEditorAndAFailedEditorStopsTheModule) {
    ASSERT_FALSE(outOfMemoryFlag);
    vst2::AEffect* record = createEffect(&host, &headlessEditor);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->flags, 0x31);
    auto* effect = static_cast<PluginEffect*>(record->object);
    EXPECT_NE(effect->getEditor(), nullptr);
    EXPECT_EQ(record->dispatcher(record, vst2::effClose, 0, 0, nullptr, 0.0f), 1);

    // An editor that cannot be made: the effect still works, without one.
    auto crippled = std::make_unique<PluginEffectWithEditor>(&host, &noMemory);
    EXPECT_TRUE(outOfMemoryFlag);
    EXPECT_EQ(crippled->getEditor(), nullptr);
    EXPECT_EQ(crippled->getAeffect()->flags, 0x30);
    vst2::ERect* rect = nullptr;
    EXPECT_EQ(crippled->dispatcher(vst2::effEditGetRect, 0, 0, &rect, 0.0f), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(crippled->dispatcher(vst2::effEditOpen, 0, 0, nullptr, 0.0f), 0);
    crippled->setParameter(19, 0.5f);
    EXPECT_FLOAT_EQ(crippled->getParameter(19), 0.5f);
    crippled.reset();

    // From now on the module makes no effect at all.
    EXPECT_EQ(createEffect(&host, &headlessEditor), nullptr);
    EXPECT_EQ(createEffect(&host, &headlessEditor), nullptr);
}

TEST(Composition, AHostTooOldForAVersionGetsNothing) {
    auto silent = [](vst2::AEffect*, vst2::int32, vst2::int32, vst2::intptr, void*, float) -> vst2::intptr {
        return 0;
    };
    EXPECT_EQ(createEffect(silent, &headlessEditor), nullptr);
    EXPECT_EQ(createEffect(nullptr, &headlessEditor), nullptr);
}
