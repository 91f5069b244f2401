// Archive commands: the define-block switches and addsvadir.
#pragma once

namespace sorv {

struct Engine;

void Cmd_sva(Engine& e);
void Cmd_sv2(Engine& e);
void Cmd_sv3(Engine& e);
void Cmd_svadir(Engine& e);
void Cmd_arc(Engine& e);
void Cmd_addsvadir(Engine& e);

// Back to the settings a *define block starts from (no archives).
void RestoreArchiveDefaults(Engine& e);

}  // namespace sorv
