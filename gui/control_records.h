// What the control files share: the control table and the table of
// operations each kind fills in. Only the control files include this.
#pragma once

#include <QWidget>

#include <cstdint>
#include <string>
#include <string_view>

#include "core/object_table.h"
#include "gui/gui_internal.h"

struct ControlRecord;

// What differs between the kinds; a null entry takes the common behaviour
// (no release step, value 0, the text of a button, label or line field).
struct ControlKind {
  int code;
  void (*release)(ControlRecord&);
  std::intptr_t (*getValue)(ControlRecord&);
  void (*setValue)(ControlRecord&, std::intptr_t);
  void (*setText)(ControlRecord&, std::string_view);
  std::string (*getText)(ControlRecord&);
};

struct ControlRecord {
  std::uintptr_t handle = 0;
  const ControlKind* kind = nullptr;
  QWidget* widget = nullptr;  // owned by its window; for a spin field its number field
  QWidget* arrows = nullptr;  // spin field
  int number = 0;
  int window = 0;
  int flags = 0;
  // spin field
  int position = 0;
  int minimum = 0;
  int maximum = 0;
  // image view
  ImageHandleValue image = 0;
};

ObjectTable<ControlRecord>& Controls();

// Creation common to every kind: the slot is taken only once the widget
// exists, so a failure leaves the table as it was (and deletes the widget).
// Returns the handle to give the program, or 0; *out is the new record.
GuiHandle Register(int number, const ControlKind& kind, QWidget* widget, int window, int flags, int x, int y,
                   int width, int height, ControlRecord** out);

// The record of control `number` when it is of `kind`, else null.
ControlRecord* FindControlOf(int number, const ControlKind& kind);
