#pragma once

// The console log: one warning line per call, "WARN> " and the message as
// UTF-8 on the process's standard output, bright yellow when that output is
// a console. The program opens no console of its own, so the lines are seen
// only when standard output was inherited (redirected to a file, say).
// Callable from any thread between Library::Start and Library::Stop.

void Warn(const wchar_t* text);
