; The benchmark workloads W1 to W3 as a Csound orchestra, doing the work sorvane-render
; does: per note the "plain" shape (1.0 falling straight to 0.7 over the note, held over
; the tail), a 10 ms attack from 0 and a 100 ms release to 0 after the note's end, all
; three at audio rate; the piece's volume (0.1 to 0.125 and back), panning (-0.5 to 0.5)
; and pitch (1 to 1.01 and back) curves at control rate; 44.1 kHz stereo. The score comes
; from sorvane-csound-score, which writes the very notes of the scene file.
sr = 44100
ksmps = 64
nchnls = 2
0dbfs = 1

gkvolume init 0.1
gkpan init -0.5
gkpitch init 1

; The control curves over the whole piece: p3 is its length in seconds.
instr 1
  ihalf = p3 / 2
  gkvolume linseg 0.1, ihalf, 0.125, ihalf, 0.1
  gkpan linseg -0.5, p3, 0.5
  gkpitch linseg 1, ihalf, 1.01, ihalf, 1
endin

; The note's envelope: p3 is the note's own length on entry; the voice lasts 0.1 s longer.
opcode NoteEnvelope, a, i
  ilength xin
  ashape linseg 1, ilength, 0.7, 0.1, 0.7
  aattack linseg 0, 0.01, 1, ilength + 0.1, 1
  arelease linseg 1, ilength, 1, 0.1, 0
  xout ashape * aattack * arelease
endop

; Panning as sorvane mixes it: the value -1..1 becomes a share 0..1 of the right channel.
opcode PanOut, 0, a
  asignal xin
  kright = (gkpan + 1) / 2
  outs asignal * (1 - kright), asignal * kright
endop

; W1, W2: one sine per note. p4: frequency in Hz.
instr 2
  ilength = p3
  p3 = ilength + 0.1
  aenvelope NoteEnvelope ilength
  asine poscil 1, p4 * gkpitch, 1
  PanOut asine * aenvelope * gkvolume
endin

; W3: sine, square, triangle and sawtooth blended a quarter each. sorvane's square has a
; period of two cycles, so its table runs at half the frequency.
instr 3
  ilength = p3
  p3 = ilength + 0.1
  aenvelope NoteEnvelope ilength
  kfrequency = p4 * gkpitch
  asine poscil 0.25, kfrequency, 1
  asquare poscil 0.25, kfrequency / 2, 2
  atriangle poscil 0.25, kfrequency, 3
  asawtooth poscil 0.25, kfrequency, 4
  PanOut (asine + asquare + atriangle + asawtooth) * aenvelope * gkvolume
endin
