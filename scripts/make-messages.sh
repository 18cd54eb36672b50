#!/usr/bin/env bash
# Makes the demo's message files: 8 kHz mono 16-bit PCM WAVE, spoken by espeak-ng and shaped by
# sox (Debian packages espeak-ng and sox). The results are committed in demo/, so the demo needs
# neither tool; run this only to change them.
set -euo pipefail
out="${1:-$(dirname "$0")/../demo}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

speak() { # speak FILE TEXT
    espeak-ng -v en-us -s 150 -w "$work/voice.wav" "$2"
    sox "$work/voice.wav" -r 8000 -c 1 -b 16 -e signed-integer "$1" norm -3
}

# The three rising special-information tones that announce an intercept message.
sox -n -r 8000 -c 1 -b 16 -e signed-integer "$work/t1.wav" synth 0.274 sine 913.8 vol 0.5
sox -n -r 8000 -c 1 -b 16 -e signed-integer "$work/t2.wav" synth 0.274 sine 1370.6 vol 0.5
sox -n -r 8000 -c 1 -b 16 -e signed-integer "$work/t3.wav" synth 0.380 sine 1776.7 vol 0.5
sox -n -r 8000 -c 1 -b 16 -e signed-integer "$work/gap.wav" trim 0 0.3

speak "$work/zap.wav" "We're sorry. The number you have dialed is not accepting calls from this line. Please remove this number from your list."
sox "$work/t1.wav" "$work/t2.wav" "$work/t3.wav" "$work/gap.wav" "$work/zap.wav" "$out/ZapMessage.wav"
speak "$out/AnonCallerMessage.wav" "This line does not accept calls from private numbers. Please call again without blocking your number."
speak "$out/Go Away.wav" "No thank you. Please do not call this number again. Goodbye."
ls -l "$out"/*.wav
