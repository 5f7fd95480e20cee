#include "kilnbatch/sheet_effect_options.h"

#include "core/fonts.h"
#include "kilnbatch/options.h"

void DeclareSheetEffectOptions(CLI::App& c, SheetEffectOptions& o, const CLI::Option* shadow) {
  SheetEffects& e = o.effects;
  AddNumber(c, "--outline", "W", e.outlineWidth, {0, MaxOutlineWidth, "pixels"},
            "outline around the face, 0 for none\nunder the face and over the shadow; the advance stays the face's own");
  CLI::Option* colour = AddColour(c, "--outline-colour", e.outlineColour, "outline colour");
  CLI::Option* join = AddChoice(c, "--outline-join", o.join, {"round", "miter", "bevel"}, "how the outline turns its corners");
  o.gradientGiven = AddColourPair(c, "--gradient", "TOP,BOTTOM", o.gradient,
                                  "fills the face from TOP at the line's top to BOTTOM at its bottom instead of --colour");
  o.outlineGradientGiven = AddColourPair(c, "--gradient-outline", "TOP,BOTTOM", o.outlineGradient,
                                         "the same for the outline; needs --outline")
                               ->excludes(colour);
  o.needOutline = {colour, join, o.outlineGradientGiven};
  NeedsOneOf(AddNumber(c, "--shadow-blur", "R", e.shadowBlur, {0, MaxShadowBlur, "pixels"},
                       "blurs the shadow by a Gaussian of standard deviation R / 2, keeping its ink"),
             {shadow});
}

std::string ReadSheetEffects(const SheetEffectOptions& o, SheetEffects& into) {
  into = o.effects;
  into.outlineJoin = o.join == "miter" ? StrokeJoin::Miter : o.join == "bevel" ? StrokeJoin::Bevel : StrokeJoin::Round;
  into.faceGradient = {o.gradientGiven->count() > 0, o.gradient.first, o.gradient.second};
  into.outlineGradient = {o.outlineGradientGiven->count() > 0, o.outlineGradient.first, o.outlineGradient.second};
  for (const CLI::Option* option : o.needOutline) {
    if (into.outlineWidth == 0 && option->count() > 0) return option->get_name() + " needs --outline of 1 or more";
  }
  return {};
}

std::string SheetEffectsRefusal(const SheetEffects& effects) {
  const PlatformFont* face = FontOfHandle(FontHandle(FaceFont));
  if (effects.outlineWidth > 0 && face && !face->HasOutlines()) {
    return "--outline: the face \"" + face->FamilyName() + "\" has no outlines to stroke (a face of bitmaps only)";
  }
  return {};
}
