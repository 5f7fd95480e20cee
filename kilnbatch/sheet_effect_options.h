// `kilnbatch sheet`'s options for the effects: outline, gradient fill and
// soft shadow, read into the renderer's SheetEffects.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <utility>
#include <vector>

#include "renderer/renderer_settings.h"

// What the options read, before it becomes the sheet's effects.
struct SheetEffectOptions {
  SheetEffects effects;
  std::string join = "round";
  std::pair<std::uint32_t, std::uint32_t> gradient, outlineGradient;
  // Declared options whose presence counts: every one an outline needs, then the gradients.
  std::vector<const CLI::Option*> needOutline;
  const CLI::Option *gradientGiven = nullptr, *outlineGradientGiven = nullptr;
};

// Declares the options; `shadow` is the --shadow flag a blur needs.
void DeclareSheetEffectOptions(CLI::App& command, SheetEffectOptions& o, const CLI::Option* shadow);

// The effects the options ask for, or a usage message for options that
// need an outline where there is none.
std::string ReadSheetEffects(const SheetEffectOptions& o, SheetEffects& into);

// Why a sheet with these effects cannot be drawn in the face made for it, or
// empty when nothing in the effects stands in the way.
std::string SheetEffectsRefusal(const SheetEffects& effects);
