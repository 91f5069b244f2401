// Commands of the scene: sprites, rotating sprites, background, standing
// images, filters, gauges, numbers, drawing into the display buffer and the
// sprite queries.
#pragma once

namespace sorv {

struct Engine;

void Cmd_lsp(Engine& e);
void Cmd_lsph(Engine& e);
void Cmd_csp(Engine& e);
void Cmd_vsp(Engine& e);
void Cmd_msp(Engine& e);
void Cmd_amsp(Engine& e);
void Cmd_cell(Engine& e);
void Cmd_lsp2(Engine& e);
void Cmd_lsph2(Engine& e);
void Cmd_lsp2add(Engine& e);
void Cmd_lsph2add(Engine& e);
void Cmd_lsp2sub(Engine& e);
void Cmd_lsph2sub(Engine& e);
void Cmd_csp2(Engine& e);
void Cmd_vsp2(Engine& e);
void Cmd_msp2(Engine& e);
void Cmd_amsp2(Engine& e);
void Cmd_allsphide(Engine& e);
void Cmd_allspresume(Engine& e);
void Cmd_allsp2hide(Engine& e);
void Cmd_allsp2resume(Engine& e);
void Cmd_sphide(Engine& e);
void Cmd_spresume(Engine& e);
void Cmd_bg(Engine& e);
void Cmd_ld(Engine& e);
void Cmd_cl(Engine& e);
void Cmd_humanpos(Engine& e);
void Cmd_humanorder(Engine& e);
void Cmd_print(Engine& e);
void Cmd_monocro(Engine& e);
void Cmd_nega(Engine& e);
void Cmd_bar(Engine& e);
void Cmd_barclear(Engine& e);
void Cmd_prnum(Engine& e);
void Cmd_prnumclear(Engine& e);
void Cmd_drawclear(Engine& e);
void Cmd_drawfill(Engine& e);
void Cmd_drawbg(Engine& e);
void Cmd_drawbg2(Engine& e);
void Cmd_drawsp(Engine& e);
void Cmd_drawsp2(Engine& e);
void Cmd_drawsp3(Engine& e);
void Cmd_drawtext(Engine& e);
void Cmd_draw(Engine& e);
void Cmd_repaint(Engine& e);
void Cmd_spstr(Engine& e);
void Cmd_getbgname(Engine& e);
void Cmd_spreload(Engine& e);
void Cmd_ofscpy(Engine& e);
void Cmd_bgcopy(Engine& e);
void Cmd_getspmode(Engine& e);
void Cmd_getsppos(Engine& e);
void Cmd_getspsize(Engine& e);
void Cmd_strsp(Engine& e);
void Cmd_strsph(Engine& e);
void Cmd_sp_rgb_gradation(Engine& e);
void Cmd_blt(Engine& e);
void Cmd_tal(Engine& e);

}  // namespace sorv
