// The question that closes a dialogue: another round, or back to the menu.
#ifndef VELVARIN_CONSOLE_FOLLOW_UP_H_
#define VELVARIN_CONSOLE_FOLLOW_UP_H_

#include <string_view>

#include "console/console.h"

enum class anotherAnswer { again, back };

// askAnother: asks `question` until the answer starts with y or n.
anotherAnswer askAnother(Console& console, std::string_view question);

#endif  // VELVARIN_CONSOLE_FOLLOW_UP_H_
