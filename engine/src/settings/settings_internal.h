// What the settings panel's files share.
#pragma once

#include <memory>

class TImageFont;

// The font of the panel's words.
std::shared_ptr<TImageFont> PanelFont();
