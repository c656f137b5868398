// CheckForUpdates in this process, with the form's two units, against the loopback server
// this test program is built to ask. Nothing is due here, so the check must return.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/main_form.h"
#include "app/program_state.h"
#include "loopback_server.h"
#include "update/update_check.h"

using testing_update::Answer;
using testing_update::LoopbackServer;

namespace {

class UpdateCheck : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ui::InitialiseUiThread();
    InitialiseProgramState();
    ui::TopWindow::Design design;
    design.width = 800;
    design.height = 600;
    design.title = "Tandrel";
    Form().mainWindow.Load(design, nullptr, [] {
      Form().linkPicture = std::make_unique<ui::PictureBox>(Form().mainWindow, 49, 425, 60, 60, 16777215,
                                                          ui::DisplayMode::kOwnSizeTopLeft);
      Form().customisationLabel = std::make_unique<ui::TransparentLabel>(Form().mainWindow, 4, 520, 141, 41,
                                                                  "点击个人功能定制", 16711680, 16);
    });
  }

  void SetUp() override {
    Form().linkPicture->SetVisible(false);
    Form().customisationLabel->SetVisible(false);
    Program().ContactText.clear();
    Program().LinkAddress.clear();
  }

  static void Serve(LoopbackServer& server, const std::string& contact, const std::string& link,
                    const std::string& manifest) {
    Answer a;
    a.body = contact;
    server.Set("/tandrel/gxdata/lianxixinxi.dat", a);
    a.body = link;
    server.Set("/tandrel/gxdata/tblianjie.dat", a);
    a.body = manifest;
    server.Set("/tandrel/gxdata/txgeng.dat", a);
  }
};

TEST_F(UpdateCheck, LinkOfSpacesShowsThePictureAndTextsArriveAsGbk) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start(TEST_UPDATE_PORT));
  Serve(server, u8"联系人：小明 QQ 10001", "   ", "");
  update::CheckForUpdates();
  EXPECT_EQ(Program().ContactText, "联系人：小明 QQ 10001");  // this literal is GBK at run time
  EXPECT_EQ(Program().LinkAddress, "   ");
  EXPECT_TRUE(Form().linkPicture->Visible());
  EXPECT_TRUE(Form().customisationLabel->Visible());
  EXPECT_EQ(server.RequestedPaths(), (std::vector<std::string>{"/tandrel/gxdata/lianxixinxi.dat",
                                                               "/tandrel/gxdata/tblianjie.dat",
                                                               "/tandrel/gxdata/txgeng.dat"}));
}

TEST_F(UpdateCheck, NothingDueGoesOnWithTheCustomisationLabel) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start(TEST_UPDATE_PORT));
  // Lines that can never be due: no name, and names that would leave the directory.
  Serve(server, "", "",
        "\r\n<banben>1.0</banben><dizhi>http://127.0.0.1/x</dizhi>\r\n"
        "<yingyong>..\\x.exe</yingyong><dizhi>http://127.0.0.1/x</dizhi>\r\n"
        "<yingyong>C:\\x.exe</yingyong><dizhi>http://127.0.0.1/x</dizhi>\r\n"
        "<yingyong>NUL</yingyong><dizhi>http://127.0.0.1/x</dizhi>\r\n");
  update::CheckForUpdates();
  EXPECT_FALSE(Form().linkPicture->Visible()) << "an empty link leaves the picture hidden";
  EXPECT_TRUE(Form().customisationLabel->Visible());
  EXPECT_EQ(::GetFileAttributesA((ProgramDirectory() + "\\gxwj.bin").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UpdateCheck, UnreachableServerGoesOnWithEmptyTexts) {
  // Nothing listens on the port now.
  const DWORD start = ::GetTickCount();
  update::CheckForUpdates();
  EXPECT_LT(::GetTickCount() - start, 20000u);
  EXPECT_EQ(Program().ContactText, "");
  EXPECT_EQ(Program().LinkAddress, "");
  EXPECT_FALSE(Form().linkPicture->Visible());
  EXPECT_TRUE(Form().customisationLabel->Visible());
}

}  // namespace
