#!/usr/bin/env python3
"""Writes a phone-import benchmark project: a screen.xml whose windows, buttons and feedback
buttons name 200 images (about 14 MB in all), and the images, into the given folder."""
import os
import random
import sys

folder = sys.argv[1]
os.makedirs(os.path.join(folder, "Images"), exist_ok=True)
rng = random.Random(7)
names = []
lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<SCREEN><MENUS>"]
for m in range(4):
    lines.append(f'<MENU menu_nome="Menu {m}">')
    for j in range(5):
        window = f"fundo_{m}_{j}.png"
        names.append(window)
        lines.append(f'<JANELA j_nome="Janela {m}.{j}" j_imagem="{window}" j_numero="{m * 5 + j}">')
        for b in range(5):
            name = f"botao_{m}_{j}_{b}.png"
            names.append(name)
            lines.append(f'<BOTAO b_caption="B{b}" b_imagem="{name}" b_left="{b * 50}" b_top="40"/>')
        for f in range(2):
            on, off = f"fb_{m}_{j}_{f}_on.png", f"fb_{m}_{j}_{f}_off.png"
            names += [on, off]
            lines.append(f'<BOTAOFB bfb_caption="F{f}" bfb_imagemon="{on}" bfb_imagemoff="{off}"/>')
        lines.append("</JANELA>")
    lines.append("</MENU>")
lines.append("</MENUS></SCREEN>")
with open(os.path.join(folder, "screen.xml"), "w") as out:
    out.write("\n".join(lines) + "\n")
for name in names:
    size = 200_000 if name.startswith("fundo") else rng.randint(40_000, 70_000)
    with open(os.path.join(folder, "Images", name), "wb") as out:
        out.write(os.urandom(size))
with open(os.path.join(folder, "Images", "f20k.png"), "wb") as out:
    out.write(os.urandom(20480))
