; A stand-in under DOSBox, which runs DOS programs only, for KIT.EXE and
; for START: it appends its command tail to C:\STUB\CALLS.TXT; for "step"
; it prints C:\STUB\STEP.TXT (the state a test gives the machine) and ends
; with errorlevel 0; any other command ends with errorlevel 1 while
; C:\STUB\FAIL exists, else 0.  nasm -f bin -o KIT.EXE dos_stub.asm
        org 0x100

        ; The tail (its length at 80h, its text at 81h) and CR LF.
        mov dx, calls
        mov ax, 0x3D01              ; open for writing
        int 0x21
        jnc opened
        mov ah, 0x3C                ; create
        xor cx, cx
        mov dx, calls
        int 0x21
        jc logged
opened:
        mov bx, ax
        mov ax, 0x4202              ; to the end
        xor cx, cx
        xor dx, dx
        int 0x21
        mov ah, 0x40
        xor ch, ch
        mov cl, [0x80]
        mov dx, 0x81
        int 0x21
        mov ah, 0x40
        mov cx, 2
        mov dx, crlf
        int 0x21
        mov ah, 0x3E
        int 0x21
logged:
        mov si, 0x81
skip:
        cmp byte [si], ' '
        jne word_start
        inc si
        jmp skip
word_start:
        mov di, step
        mov cx, 4
compare:
        mov al, [si]
        or al, 0x20                 ; lower case
        cmp al, [di]
        jne code
        inc si
        inc di
        loop compare

        mov dx, state
        mov ax, 0x3D00              ; open for reading
        int 0x21
        jc success
        mov bx, ax
copy:
        mov ah, 0x3F
        mov cx, 512
        mov dx, buffer
        int 0x21
        jc close
        or ax, ax
        jz close
        mov cx, ax
        push bx
        mov bx, 1                   ; standard output
        mov ah, 0x40
        mov dx, buffer
        int 0x21
        pop bx
        jmp copy
close:
        mov ah, 0x3E
        int 0x21
success:
        mov al, 0
        jmp finish

code:
        mov dx, fail
        mov ax, 0x4300              ; attributes: does it exist?
        int 0x21
        mov al, 0
        jc finish
        mov al, 1
finish:
        mov ah, 0x4C
        int 0x21

calls   db 'C:\STUB\CALLS.TXT', 0
state   db 'C:\STUB\STEP.TXT', 0
fail    db 'C:\STUB\FAIL', 0
step    db 'step'
crlf    db 13, 10
buffer:
