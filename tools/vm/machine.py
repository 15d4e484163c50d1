#!/usr/bin/env python3
"""Runs a command in the emulated machine: a 64-bit Debian 12 guest under
QEMU's TCG, in which 32-bit Wine works, for hosts that run no 32-bit code.

  machine.py DIR [--share PATH]... [--env NAME=VALUE]... -- COMMAND
  machine.py DIR [--share PATH]... --prepare

COMMAND (a shell command line) runs in the machine in the current folder,
each PATH at its own path (an overlay: what the command writes there stays
in the machine); its output is printed as it comes and its exit status is
this program's. DIR keeps the machine: its disk, made by image.sh from
Debian's packages and made again when the recipe changes, and its state
once booted and its Wine prefixes made, made again when the disk, QEMU or
the command line changes. Each run restores that state into a throw-away
layer over the disk: seconds instead of minutes of booting and wineboot.
--prepare only makes what is missing, writing to DIR/prepare.log, so that
it can be done while the trees build; a run that waited for it prints that.
"""
import argparse
import fcntl
import hashlib
import json
import os
import shutil
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RECIPE = ('image.sh', 'initramfs-hook', 'init.sh')
MEMORY = '2048'
# One processor: with two, TCG's flushes across processors made every Wine
# program twice as slow here.
CPUS = '1'
WARM_TIMEOUT = 60 * 60    # the first boot makes three Wine prefixes
RUN_TIMEOUT = 240 * 60    # a whole tree's tests, on a busy host


def say(text):
    print('machine: ' + text, flush=True)


class Failed(Exception):
    pass


def digest(*parts):
    h = hashlib.sha256()
    for part in parts:
        h.update(part if isinstance(part, bytes) else part.encode())
        h.update(b'\0')
    return h.hexdigest()


def recipe_digest():
    return digest(*(open(os.path.join(HERE, name), 'rb').read() for name in RECIPE))


def read(path):
    try:
        with open(path) as f:
            return f.read().strip()
    except OSError:
        return ''


def write(path, text):
    with open(path, 'w') as f:
        f.write(text)


def tail(path, lines=30):
    return '\n'.join(read(path).splitlines()[-lines:])


def ensure_image(top):
    """The disk, its kernel and initrd in top/image, made anew when the recipe changed."""
    image = os.path.join(top, 'image')
    wanted = recipe_digest()
    if read(os.path.join(image, 'recipe')) == wanted:
        return image
    say('making the disk from Debian\'s packages (about ten minutes, once)')
    start = time.time()
    fresh = image + '.new'
    shutil.rmtree(fresh, ignore_errors=True)
    log = os.path.join(top, 'image.log')
    with open(log, 'w') as output:
        made = subprocess.call(['sh', os.path.join(HERE, 'image.sh'), fresh], stdout=output,
                               stderr=subprocess.STDOUT) == 0
    if not made:
        print(tail(log), file=sys.stderr)
        raise Failed('the disk could not be made (tools/vm/image.sh; all it said: %s)' % log)
    write(os.path.join(fresh, 'recipe'), wanted)
    shutil.rmtree(image, ignore_errors=True)
    os.rename(fresh, image)
    say('made the disk in %d s' % (time.time() - start))
    return image


def qemu_args(top, image, disk, shares):
    def option(path):  # a comma in a QEMU option's value is written twice
        return path.replace(',', ',,')
    args = ['qemu-system-x86_64', '-nodefaults', '-display', 'none', '-no-reboot',
            # With SMAP, TCG's guest kernel kills every 32-bit Wine process;
            # five-level page tables, the mitigations and the HPET clock
            # (TCG's TSC is marked unstable) only cost time.
            '-accel', 'tcg', '-cpu', 'max,-smap,-la57', '-m', MEMORY, '-smp', CPUS,
            '-kernel', os.path.join(image, 'vmlinuz'), '-initrd', os.path.join(image, 'initrd.img'),
            '-append', 'root=/dev/vda rw console=ttyS0 init=/sbin/qvmachine-init panic=1 quiet '
                       'mitigations=off tsc=reliable clocksource=tsc',
            '-drive', 'file=%s,if=virtio,format=qcow2,cache=unsafe' % option(disk),
            '-serial', 'file:' + os.path.join(top, 'console.log'),
            '-chardev', 'socket,id=ctl,path=%s,server=on,wait=off' % option(os.path.join(top, 'ctl.sock')),
            '-serial', 'chardev:ctl',
            '-qmp', 'unix:%s,server=on,wait=off' % option(os.path.join(top, 'qmp.sock')),
            '-virtfs', 'local,path=%s,mount_tag=out,security_model=none' % option(os.path.join(top, 'run'))]
    for n, path in enumerate(shares):
        args += ['-virtfs', 'local,path=%s,mount_tag=s%d,security_model=none,readonly=on' % (option(path), n)]
    return args


class Qemu:
    """One QEMU process and its QMP monitor."""

    def __init__(self, top, args):
        self.top = top
        for name in ('qmp.sock', 'ctl.sock'):
            try:
                os.unlink(os.path.join(top, name))
            except FileNotFoundError:
                pass
        env = dict(os.environ, TMPDIR=os.path.join(top, 'tmp'))
        os.makedirs(env['TMPDIR'], exist_ok=True)
        self.errors = open(os.path.join(top, 'qemu.log'), 'w')
        self.process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=self.errors,
                                        stderr=subprocess.STDOUT, env=env)
        self.qmp = self.connect('qmp.sock')
        self.replies = self.qmp.makefile('r')
        self.replies.readline()  # the greeting
        self.command('qmp_capabilities')

    def connect(self, name):
        path = os.path.join(self.top, name)
        deadline = time.time() + 60
        while True:
            self.check()
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            try:
                s.connect(path)
                return s
            except OSError:
                s.close()
                if time.time() > deadline:
                    raise Failed('QEMU did not open %s' % path)
                time.sleep(0.2)

    def check(self):
        if self.process.poll() is not None:
            raise Failed('QEMU ended (status %d): %s' % (self.process.returncode,
                                                          read(os.path.join(self.top, 'qemu.log'))))

    def command(self, name, **arguments):
        self.qmp.sendall(json.dumps({'execute': name, 'arguments': arguments}).encode() + b'\n')
        while True:
            line = self.replies.readline()
            if not line:
                self.check()
                raise Failed('QEMU closed its monitor')
            reply = json.loads(line)
            if 'error' in reply:
                raise Failed('QEMU refused %s: %s' % (name, reply['error'].get('desc')))
            if 'return' in reply:
                return reply['return']

    def wait(self, seconds):
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def wait_console(top, qemu, text, seconds):
    deadline = time.time() + seconds
    while text not in read(os.path.join(top, 'console.log')):
        qemu.check()
        if time.time() > deadline:
            raise Failed('the machine did not say "%s" within %d s' % (text, seconds))
        time.sleep(1)


def ensure_state(top, image, shares):
    """The machine booted and warmed, saved: top/state.bin over top/warm.qcow2."""
    # What the saved state fits: the disk, QEMU and its command line.
    key = '\n'.join([recipe_digest(), subprocess.run(['qemu-system-x86_64', '--version'], capture_output=True,
                                                    text=True).stdout.splitlines()[0]]
                    + qemu_args(top, image, 'DISK', shares))
    saved = read(os.path.join(top, 'state.key'))
    if saved == key and os.path.exists(os.path.join(top, 'state.bin')):
        return
    if saved:
        changed = [line for line in key.splitlines() if line not in saved.splitlines()]
        say('the saved machine does not fit (%s)' % ' '.join(changed or ['its state is missing']))
    say('booting the machine and making its Wine prefixes (a quarter of an hour, once)')
    start = time.time()
    for name in ('state.key', 'state.bin', 'state.new', 'warm.qcow2'):
        try:
            os.unlink(os.path.join(top, name))
        except FileNotFoundError:
            pass
    os.makedirs(os.path.join(top, 'run'), exist_ok=True)
    subprocess.run(['qemu-img', 'create', '-q', '-f', 'qcow2', '-b', os.path.join(image, 'base.img'),
                    '-F', 'raw', os.path.join(top, 'warm.qcow2')], check=True)
    write(os.path.join(top, 'console.log'), '')
    qemu = Qemu(top, qemu_args(top, image, os.path.join(top, 'warm.qcow2'), shares))
    try:
        wait_console(top, qemu, 'qvmachine: ready', WARM_TIMEOUT)
        # Paused first: a state saved while running restores into a panic.
        qemu.command('stop')
        qemu.command('migrate', uri='exec:cat > ' + os.path.join(top, 'state.new'))
        while True:
            status = qemu.command('query-migrate').get('status')
            if status == 'completed':
                break
            if status in ('failed', 'cancelled'):
                raise Failed('saving the machine failed')
            time.sleep(0.5)
        qemu.command('quit')
        qemu.wait(60)
    except Failed:
        print(tail(os.path.join(top, 'console.log')), file=sys.stderr)
        raise
    finally:
        qemu.kill()
    os.rename(os.path.join(top, 'state.new'), os.path.join(top, 'state.bin'))
    write(os.path.join(top, 'state.key'), key)
    say('the machine is ready (%d s); its console: %s' % (time.time() - start, os.path.join(top, 'console.log')))


def run(top, image, shares, env, command):
    out = os.path.join(top, 'run')
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    # Shorter paths first: a share inside another is mounted over it.
    write(os.path.join(out, 'shares'), ''.join('s%d %s\n' % (n, path) for n, path in
                                               sorted(enumerate(shares), key=lambda s: len(s[1]))))
    quote = lambda text: "'" + text.replace("'", "'\\''") + "'"
    write(os.path.join(out, 'job.sh'), ''.join('export %s\n' % quote(pair) for pair in env) +
          'cd %s || exit 1\n%s\n' % (quote(os.getcwd()), command))
    write(os.path.join(out, 'log'), '')
    disk = os.path.join(top, 'run.qcow2')
    subprocess.run(['qemu-img', 'create', '-q', '-f', 'qcow2', '-b', os.path.join(top, 'warm.qcow2'),
                    '-F', 'qcow2', disk], check=True)
    start = time.time()
    qemu = Qemu(top, qemu_args(top, image, disk, shares) + ['-incoming', 'exec:cat ' +
                                                          os.path.join(top, 'state.bin')])
    try:
        # The restored machine starts paused, once the state is read.
        while qemu.command('query-status').get('status') == 'inmigrate':
            time.sleep(0.2)
        qemu.command('cont')
        control = qemu.connect('ctl.sock')
        control.sendall(b'go\n%d\n' % time.time())
        say('restored in %.0f s' % (time.time() - start))
        log = open(os.path.join(out, 'log'), 'rb')
        deadline = time.time() + RUN_TIMEOUT
        while True:
            ended = qemu.wait(1) is not None
            sys.stdout.buffer.write(log.read())
            sys.stdout.flush()
            if ended:
                break
            if time.time() > deadline:
                raise Failed('the job did not end within %d minutes' % (RUN_TIMEOUT // 60))
    finally:
        qemu.kill()
        try:
            os.unlink(disk)
        except FileNotFoundError:
            pass
    status = read(os.path.join(out, 'status'))
    if not status.isdigit():
        print(tail(os.path.join(top, 'console.log')), file=sys.stderr)
        raise Failed('the job ended without an exit status')
    say('the job ended with status %s after %.0f s' % (status, time.time() - start))
    return int(status)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('dir')
    parser.add_argument('--share', action='append', default=[])
    parser.add_argument('--env', action='append', default=[])
    parser.add_argument('--prepare', action='store_true')
    argv = sys.argv[1:]
    command = argv[argv.index('--') + 1:] if '--' in argv else []
    args = parser.parse_args(argv[:len(argv) - len(command) - (1 if command else 0)])
    if args.prepare == bool(command):
        parser.error('a command after --, or --prepare')
    top = os.path.abspath(args.dir)
    os.makedirs(top, exist_ok=True)
    shares = [os.path.abspath(path) for path in args.share]
    prepared = os.path.join(top, 'prepare.log')
    with open(os.path.join(top, 'lock'), 'w') as lock:
        # One run of a machine at a time; a preparation leaves a busy
        # machine to the run that has it.
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            waited = False
        except BlockingIOError:
            if args.prepare:
                return 0
            say('waiting for the machine, which another run is making or using')
            sys.stdout.flush()
            fcntl.flock(lock, fcntl.LOCK_EX)
            waited = True
        if args.prepare:
            log = os.open(prepared, os.O_WRONLY | os.O_CREAT | os.O_TRUNC)
            os.dup2(log, 1)
            os.dup2(log, 2)
        elif waited:
            sys.stdout.write(read(prepared) + '\n')
        try:
            image = ensure_image(top)
            ensure_state(top, image, shares)
            if args.prepare:
                return 0
            return run(top, image, shares, args.env, ' '.join(command))
        except Failed as e:
            say(str(e))
            return 1


if __name__ == '__main__':
    sys.exit(main())
