// File endings: a dot and three letters, such as ".kgf". Every output name
// ends in its type's ending, and no letter of the name it comes from is lost.
#pragma once

#include <string>
#include <string_view>

// True when the name ends in a dot and the ending ("kgf"), the ending's
// letters in any case.
bool has_ending(std::string_view name, const char* ending);

// The name with the ending to in place of the ending from when it has that
// one (its last three characters replaced), else with a dot and to added:
// "wall.TGA" gives "wall.kgf", "picture" gives "picture.kgf". A from of
// null takes any name's last three characters after a dot as its ending.
std::string with_ending(const std::string& name, const char* from, const char* to);

// Control characters (newline, escape, ...) written as \n, \t, \r or \xHH:
// a name printed with this takes one line and never drives a terminal.
std::string printable_name(std::string_view name);

// True when the name holds a control character.
bool has_control_character(std::string_view name);
