#pragma once
// The start-up order and the main window's lifecycle.

// MainWindow's created event: runs the start-up order, place by place.
void OnMainWindowCreated();
// MainWindow's close requested event: minimises and hides it; always refuses.
bool OnMainWindowCloseRequested();
// Runs ReleaseProgramState once, at a normal end of the run.
void OnNormalEnd();
