// The few facts about the console the program needs: whether stderr is a terminal
// (the progress bar is drawn only there), its width, and Ctrl-C. This is the
// program's one contact with the console; everything else writes to streams.
#ifndef TOMEVA_CLI_TERMINAL_H_
#define TOMEVA_CLI_TERMINAL_H_

namespace tomeva::cli {

// True when stderr is a terminal.
bool StderrIsTerminal();

// Width of the terminal on stderr in columns; $COLUMNS or 80 when unknown.
int TerminalColumns();

// Installs the Ctrl-C handler: the first SIGINT sets the interrupt flag that the
// progress callback hands to the plugin, the second ends the process at once
// (exit code 130).
void InstallInterruptHandler();

// True once Ctrl-C was pressed.
bool InterruptRequested();

// Exit code of a process ended by Ctrl-C.
inline constexpr int kInterruptedExitCode = 130;

}  // namespace tomeva::cli

#endif  // TOMEVA_CLI_TERMINAL_H_
