"""The files of a test's working directory: the two number lists and the messages, 8 kHz mono
16-bit PCM WAVE files of tones, each different, so that a recording tells which one was played.
Written with CR LF line ends, as a Windows editor would."""
import math
import os
import struct
import wave

OWN_MESSAGE = "Go Away.wav"  # named by a block entry
RATE = 8000

BLOCK = """// Test block list.
555-019-8811 @ Go Away.wav
900
P
"""
ACCEPT = """// Test accept list.
555-010
"""


def write_text(path, text):
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("ascii"))


def write_lists(directory):
    write_text(os.path.join(directory, "Block.txt"), BLOCK)
    write_text(os.path.join(directory, "Accept Always.txt"), ACCEPT)


def tone(path, frequency, seconds):
    """A tone that fades out, so that no two samples in a row repeat a pattern by chance."""
    count = int(RATE * seconds)
    frames = bytearray()
    for i in range(count):
        level = 9000 * (1 - i / count)
        frames += struct.pack("<h", int(level * math.sin(2 * math.pi * frequency * i / RATE)))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


def write_messages(directory):
    tone(os.path.join(directory, OWN_MESSAGE), 440, 1.5)
    tone(os.path.join(directory, "ZapMessage.wav"), 660, 1.0)
    tone(os.path.join(directory, "AnonCallerMessage.wav"), 550, 1.0)
