#!/usr/bin/env python3
"""Writes a realistic screen file of about SIZE megabytes: MENUS, MENU, JANELA, BOTAO with ACOES,
BOTAOFB, CAMERA and WEB, each with every attribute the loader reads, indented as the designer
writes them. Usage: gen_screen.py SIZE_MB OUTPUT"""
import random
import sys


def attrs(pairs):
    return " ".join(f'{k}="{v}"' for k, v in pairs)


def acao(r, n):
    return attrs([("a_funcao", r.randint(0, 40)), ("a_subfuncao", r.randint(0, 9)),
                  ("a_descricao", f"Ação {n} da cena"), ("a_modulo", f"MOD{r.randint(1, 16):02d}"),
                  ("a_continuo", r.randint(0, 1)), ("a_tipo", r.randint(0, 5)),
                  ("a_pntcena", r.randint(0, 255)), ("a_acao", r.randint(0, 3))])


def botao(r, n):
    return attrs([("b_caption", f"Luz &amp; Som {n}"), ("b_imagem", f"botao_{n % 97}.png"),
                  ("b_modulo", f"MOD{r.randint(1, 16):02d}"), ("b_funcao", r.randint(0, 40)),
                  ("b_subfuncao", r.randint(0, 9)), ("b_pntcena", r.randint(0, 255)),
                  ("b_acao", r.randint(0, 3)), ("b_left", r.randint(0, 1024)), ("b_top", r.randint(0, 768)),
                  ("b_height", r.randint(20, 120)), ("b_width", r.randint(20, 200)),
                  ("b_style", r.randint(0, 4)), ("b_layout", r.randint(0, 3)),
                  ("b_colorr", r.randint(0, 255)), ("b_colorg", r.randint(0, 255)),
                  ("b_colorb", r.randint(0, 255)), ("b_fontcolorr", r.randint(0, 255)),
                  ("b_fontcolorg", r.randint(0, 255)), ("b_fontcolorb", r.randint(0, 255)),
                  ("b_fontsize", r.randint(8, 24)), ("b_fonttype", "Tahoma"),
                  ("b_continuo", r.randint(0, 1)), ("b_tipo", r.randint(0, 5))])


def botaofb(r, n):
    return attrs([("bfb_caption", f"Cortina {n}"), ("bfb_imagemon", f"on_{n % 53}.png"),
                  ("bfb_imagemoff", f"off_{n % 53}.png"), ("bfb_textoon", "Ligado"),
                  ("bfb_textoff", "Desligado"), ("bfb_fbstyle", r.randint(0, 3)),
                  ("bfb_modulo", f"MOD{r.randint(1, 16):02d}"), ("bfb_canal", r.randint(0, 64)),
                  ("bfb_moduloidx", r.randint(0, 16)), ("bfb_left", r.randint(0, 1024)),
                  ("bfb_top", r.randint(0, 768)), ("bfb_height", r.randint(20, 120)),
                  ("bfb_width", r.randint(20, 200)), ("bfb_style", r.randint(0, 4)),
                  ("bfb_layout", r.randint(0, 3)), ("bfb_colorr", r.randint(0, 255)),
                  ("bfb_colorg", r.randint(0, 255)), ("bfb_colorb", r.randint(0, 255)),
                  ("bfb_fontcolorr", r.randint(0, 255)), ("bfb_fontcolorg", r.randint(0, 255)),
                  ("bfb_fontcolorb", r.randint(0, 255)), ("bfb_fontsize", r.randint(8, 24)),
                  ("bfb_fonttype", "Arial"), ("bfb_continuo", r.randint(0, 1)), ("bfb_tipo", r.randint(0, 5))])


def main():
    size = float(sys.argv[1]) * 1024 * 1024
    r = random.Random(42)
    out = open(sys.argv[2], "w", encoding="utf-8", newline="\r\n")
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<SCREEN versao="3">\n  <MENUS>\n')
    written, n, m = 0, 0, 0
    while written < size:
        m += 1
        lines = [f'    <MENU menu_nome="Menu {m}">\n']
        for j in range(8):
            lines.append(f'      <JANELA j_nome="Sala {m}.{j}" j_corr="{r.randint(0, 255)}" j_corg="{r.randint(0, 255)}" '
                         f'j_corb="{r.randint(0, 255)}" j_imagem="fundo_{j}.jpg" j_numero="{j}">\n')
            for _ in range(10):
                n += 1
                lines.append(f'        <BOTAO {botao(r, n)}>\n')
                for k in range(2):
                    lines.append(f'          <ACOES {acao(r, k)}/>\n')
                lines.append('        </BOTAO>\n')
            for _ in range(4):
                n += 1
                lines.append(f'        <BOTAOFB {botaofb(r, n)}>\n          <ACOES {acao(r, n)}/>\n        </BOTAOFB>\n')
            lines.append(f'        <CAMERA c_imagem="cam{j}.jpg" c_left="10" c_top="20" c_height="240" c_width="320" c_intervalo="500"/>\n')
            lines.append(f'        <WEB w_endereco="http://192.168.0.{j}/status" w_left="0" w_top="0" w_height="300" w_width="400" w_caption="Estado"/>\n')
            lines.append('      </JANELA>\n')
        lines.append('    </MENU>\n')
        chunk = "".join(lines)
        out.write(chunk)
        written += len(chunk.encode("utf-8")) + chunk.count("\n")
    out.write("  </MENUS>\n</SCREEN>\n")
    out.close()


if __name__ == "__main__":
    main()
