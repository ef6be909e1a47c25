// kgfconv in a Windows console: the program's code page while it runs, and
// what it says when started from Explorer. Elsewhere these do nothing.
#pragma once

// In a Windows console, shows the program's text in the program's code page
// (UTF-8) until it ends, then puts the console's own back. Elsewhere nothing.
void use_program_code_page_in_console();

// Started with no arguments in a console of its own (from Explorer): says
// what kgfconv is, points at kgftool.exe and readme.txt, waits for a key
// and returns true. False in every other case, having done nothing.
bool explained_when_started_alone(int argc);
