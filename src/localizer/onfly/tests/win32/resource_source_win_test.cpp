#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "framework/ComponentReader.h"
#include "framework/win32/ResourceSourceWin32.h"
#include "framework/win32/SysInit.h"

using namespace fw;

namespace {

struct Win32Source : ::testing::Test {
    void SetUp() override { InstallWin32ResourceSource(); }
    void TearDown() override {
        SetResourceHInstance(MainInstance(), MainInstance());
        SetResourceSource(nullptr);
        SetFormTextConverters(nullptr, nullptr);
    }
};

}  // namespace

TEST_F(Win32Source, FormComesFromTheResourceModuleOfTheMainModule) {
    DefineComponentClass("TWinResForm", TForm::StaticClass());
    std::unique_ptr<TComponent> form(CreateComponent("TWinResForm", nullptr));
    EXPECT_EQ(static_cast<TForm*>(form.get())->Caption,
              "Gr\xFC\xDF"
              "e");
    auto* edit = dynamic_cast<TEdit*>(form->FindComponent("Edit1"));
    ASSERT_NE(edit, nullptr);
    // 8-bit text for a wide property goes through the system code page (1252 here).
    EXPECT_EQ(edit->TextHint, u"\u00E4\u00F6");

    // Pointed at a module without that resource, the form class finds none.
    HMODULE k32 = GetModuleHandleA("kernel32.dll");
    ASSERT_TRUE(SetResourceHInstance(MainInstance(), k32));
    std::vector<uint8_t> data;
    TWin32ResourceSource source;
    EXPECT_FALSE(source.FindRCData(0, "TWINRESFORM", data));
    EXPECT_THROW(CreateComponent("TWinResForm", nullptr), EResNotFound);
    SetResourceHInstance(MainInstance(), MainInstance());
    EXPECT_TRUE(source.FindRCData(0, "twinresform", data));
    EXPECT_EQ(data.size(), 71u);
}
