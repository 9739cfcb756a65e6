// varnel-hwp image and pdf: the pages of a document as a save exports them.
#pragma once

// Runs `image` or `pdf` when argv[1] names one and returns the exit status; -1 for any
// other command.
int RunPageCommand(int argc, char** argv);
