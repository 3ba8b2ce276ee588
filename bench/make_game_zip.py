"""Writes a zip of game-like content for the unpack benchmark and prints its file count and bytes.

About a quarter of the bytes in small files under many folders, the rest in six large ones; packed
data (textures, sounds) stored, scripts and tables deflated, as game archives mix them.
    make_game_zip.py PATH CONTENT_BYTES
"""
import random
import sys
import zipfile

path, total = sys.argv[1], int(sys.argv[2])
rnd = random.Random(1)
few_symbols = bytes.maketrans(bytes(range(256)), bytes(0x60 | (b & 0x0F) for b in range(256)))


def chunks(size, packed):
    while size > 0:
        count = min(size, 1 << 20)
        data = rnd.randbytes(count)
        yield data if packed else data.translate(few_symbols)
        size -= count


def add(archive, name, size, packed):
    info = zipfile.ZipInfo(name, date_time=(2023, 11, 14, 22, 13, 20))
    info.compress_type = zipfile.ZIP_STORED if packed else zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    with archive.open(info, "w", force_zip64=size > (1 << 30)) as out:
        for chunk in chunks(size, packed):
            out.write(chunk)


files = written = 0
with zipfile.ZipFile(path, "w", compresslevel=1) as archive:
    while written < total // 4:
        size = 1024 + rnd.randrange(96 << 10)
        add(archive, f"data/{files // 200}/{files % 200}.res", size, files % 2 == 0)
        files, written = files + 1, written + size
    for large in range(6):
        size = (total - total // 4) // 6
        add(archive, f"packs/pack{large}.pak", size, large % 3 != 2)
        files, written = files + 1, written + size
print(files, written)
