#pragma once
// The program's form: the main window with its units, and the six host panes.
#include "ui/units.h"

struct MainForm {
  ui::TopWindow mainWindow;
  std::unique_ptr<ui::ShapeBox> tabStrip;
  std::unique_ptr<ui::PictureBox> tabTemplate;  // hidden and disabled; tabs are copies of it
  ui::Timer hostStartTimer;   // its first tick sets up the instance host
  std::unique_ptr<ui::ShapeBox> sidePanel;
  std::unique_ptr<ui::PictureBox> linkPicture;
  std::unique_ptr<ui::TransparentLabel> customisationLabel;
  std::unique_ptr<ui::Label> noticeBar;
  std::unique_ptr<ui::TransparentLabel> emptyHintText;
  std::unique_ptr<ui::PictureBox> emptyHintPicture;
  std::unique_ptr<ui::PopupMenu> trayMenu;

  ui::TopWindow panes[6];  // the host panes, pane k at [k - 1], loaded by the host view
};

// The one form of the process; its windows live until the process ends.
MainForm& Form();

// Loads MainWindow (creating its units) and raises its created event.
void LoadMainWindow();

// The side panel's click handlers.
void OnLinkPictureClick();         // opens LinkAddress in the default browser
void OnCustomisationLabelClick();  // the customisation notice with ContactText
