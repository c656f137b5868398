#pragma once
// The program's form: MainWindow with its units, and the six host windows.
#include "app/form/units.h"

struct MainForm {
  form::TopWindow MainWindow;
  std::unique_ptr<form::ShapeBox> 外形框1;          // tab strip
  std::unique_ptr<form::PictureBox> 图片框3;        // tab template (hidden, disabled)
  form::Timer 时钟1;                                // CreateTab
  form::Timer 时钟2;                                // DestroyPendingTab
  form::Timer 时钟3;                                // StartInstanceHost
  std::unique_ptr<form::ShapeBox> 外形框2;          // side panel
  std::unique_ptr<form::PictureBox> 图片框4;        // link picture
  std::unique_ptr<form::TransparentLabel> 透明标签7;  // customisation label
  std::unique_ptr<form::Label> 标签1;               // notice bar
  std::unique_ptr<form::TransparentLabel> 透明标签2;  // empty-state hint text
  std::unique_ptr<form::PictureBox> 图片框2;        // empty-state hint picture
  std::unique_ptr<form::PopupMenu> TrayMenu;

  form::TopWindow HostWindow[6];                    // HostWindow1..HostWindow6 = [0]..[5]
};

// The one form of the process; its windows live until the process ends.
MainForm& Form();

// Loads MainWindow (creating its units) and raises its created event.
void LoadMainWindow();
// Loads host window k (1..6) without owner; raises its created event.
void LoadHostWindow(int k);

// The side panel's click handlers.
void OnLinkPictureClick();         // opens LinkAddress in the default browser
void OnCustomisationLabelClick();  // the customisation notice with ContactText
