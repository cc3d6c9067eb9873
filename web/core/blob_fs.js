// A file system for the core in the worker whose bytes never live in wasm memory. Files the
// user picked are read through Blob.slice and FileReaderSync, a large piece at a time; files the
// core writes (the intermediate base release, the result) are kept as a list of Blobs, the
// browser's own storage, and read back the same way. So a 100 MB conversion holds only the
// decoder's buffers in wasm memory.
//
// Mounted by the worker with Module.mountBlobFs(path, {files: {name: Blob}, writable}).

var BLOBFS = {
  // Read ahead this much, so the core's small reads cost one FileReaderSync call per piece.
  READ_PIECE: 16 << 20,
  // Written bytes gather here before they become one Blob: fewer, larger Blobs.
  WRITE_PIECE: 16 << 20,
  DIR_MODE: 0o040000 | 0o777,
  FILE_MODE: 0o100000 | 0o666,
  // Emscripten's errno numbers.
  ENOENT: 44,
  EPERM: 63,
  EIO: 29,
  EINVAL: 28,
  ENOTEMPTY: 55,
  reader: null,

  mount: function (mount) {
    if (!BLOBFS.reader) BLOBFS.reader = new FileReaderSync();
    var root = BLOBFS.createNode(null, '/', BLOBFS.DIR_MODE, mount.opts.writable);
    var files = mount.opts.files || {};
    Object.keys(files).forEach(function (name) {
      var node = BLOBFS.createNode(root, name, BLOBFS.FILE_MODE, false);
      node.blob = files[name];
      node.size = files[name].size;
    });
    return root;
  },

  createNode: function (parent, name, mode, writable) {
    var node = FS.createNode(parent, name, mode);
    node.node_ops = BLOBFS.node_ops;
    node.stream_ops = BLOBFS.stream_ops;
    node.timestamp = Date.now();
    node.writable = writable;
    node.size = 0;
    node.contents = FS.isDir(mode) ? {} : null;
    node.blob = null;   // what reads see: a picked file, or the written parts joined
    node.parts = null;  // written files: the Blobs written so far
    node.pending = null;
    node.pendingBytes = 0;
    node.cache = null;  // the last piece read: {start, bytes}
    if (parent) parent.contents[name] = node;
    return node;
  },

  // Turns what was written into the Blob that reads and the page see.
  settle: function (node) {
    if (!node.parts || node.blob) return;
    if (node.pendingBytes > 0) {
      node.parts.push(new Blob([node.pending.slice(0, node.pendingBytes)]));
      node.pendingBytes = 0;
    }
    node.blob = new Blob(node.parts);
  },

  // The Blob holding a written (or picked) file's bytes.
  blobOf: function (path) {
    var node = FS.lookupPath(path).node;
    BLOBFS.settle(node);
    return node.blob || new Blob([]);
  },

  truncate: function (node) {
    node.parts = [];
    node.pending = null;
    node.pendingBytes = 0;
    node.blob = null;
    node.cache = null;
    node.size = 0;
  },

  node_ops: {
    getattr: function (node) {
      return {
        dev: 1,
        ino: node.id,
        mode: node.mode,
        nlink: 1,
        uid: 0,
        gid: 0,
        rdev: 0,
        size: FS.isDir(node.mode) ? 4096 : node.size,
        atime: new Date(node.timestamp),
        mtime: new Date(node.timestamp),
        ctime: new Date(node.timestamp),
        blksize: 4096,
        blocks: Math.ceil(node.size / 4096),
      };
    },
    setattr: function (node, attr) {
      if (attr.mode !== undefined) node.mode = attr.mode;
      if (attr.timestamp !== undefined) node.timestamp = attr.timestamp;
      if (attr.size !== undefined) {
        // Only emptying is needed: files are created or truncated, then written in order.
        if (!node.writable || attr.size !== 0) throw new FS.ErrnoError(BLOBFS.EPERM);
        BLOBFS.truncate(node);
      }
    },
    lookup: function (parent, name) {
      var node = parent.contents[name];
      if (!node) throw new FS.ErrnoError(BLOBFS.ENOENT);
      return node;
    },
    mknod: function (parent, name, mode) {
      if (!parent.writable || !FS.isFile(mode)) throw new FS.ErrnoError(BLOBFS.EPERM);
      var node = BLOBFS.createNode(parent, name, BLOBFS.FILE_MODE, true);
      BLOBFS.truncate(node);
      return node;
    },
    rename: function (node, newDir, newName) {
      if (!node.parent.writable || !newDir.writable) throw new FS.ErrnoError(BLOBFS.EPERM);
      var replaced = newDir.contents[newName];
      if (replaced) FS.hashRemoveNode(replaced);
      delete node.parent.contents[node.name];
      node.name = newName;
      node.parent = newDir;
      newDir.contents[newName] = node;
    },
    unlink: function (parent, name) {
      if (!parent.writable) throw new FS.ErrnoError(BLOBFS.EPERM);
      delete parent.contents[name];
    },
    rmdir: function () {
      throw new FS.ErrnoError(BLOBFS.EPERM);
    },
    readdir: function (node) {
      return ['.', '..'].concat(Object.keys(node.contents));
    },
    symlink: function () {
      throw new FS.ErrnoError(BLOBFS.EPERM);
    },
    readlink: function () {
      throw new FS.ErrnoError(BLOBFS.EINVAL);
    },
  },

  stream_ops: {
    read: function (stream, buffer, offset, length, position) {
      var node = stream.node;
      if (position >= node.size || length === 0) return 0;
      BLOBFS.settle(node);
      var cache = node.cache;
      if (!cache || position < cache.start || position >= cache.start + cache.bytes.length) {
        var end = Math.min(node.size, position + Math.max(length, BLOBFS.READ_PIECE));
        try {
          // Throws NotReadableError when the user's file changed or went away since it was
          // picked: the core then reports a failed read.
          var bytes = BLOBFS.reader.readAsArrayBuffer(node.blob.slice(position, end));
        } catch (e) {
          throw new FS.ErrnoError(BLOBFS.EIO);
        }
        cache = node.cache = {start: position, bytes: new Uint8Array(bytes)};
      }
      var from = position - cache.start;
      var count = Math.min(length, cache.bytes.length - from);
      buffer.set(cache.bytes.subarray(from, from + count), offset);
      return count;
    },
    write: function (stream, buffer, offset, length, position) {
      var node = stream.node;
      // Writes come in order from the start: anything else is a fault, not a case to serve.
      if (!node.parts || position !== node.size) throw new FS.ErrnoError(BLOBFS.EIO);
      node.blob = null;
      node.cache = null;
      var done = 0;
      while (done < length) {
        if (!node.pending) node.pending = new Uint8Array(BLOBFS.WRITE_PIECE);
        var count = Math.min(length - done, BLOBFS.WRITE_PIECE - node.pendingBytes);
        node.pending.set(buffer.subarray(offset + done, offset + done + count), node.pendingBytes);
        node.pendingBytes += count;
        done += count;
        if (node.pendingBytes === BLOBFS.WRITE_PIECE) {
          node.parts.push(new Blob([node.pending]));
          node.pending = null;
          node.pendingBytes = 0;
        }
      }
      node.size += length;
      return length;
    },
    llseek: function (stream, offset, whence) {
      var position = offset;
      if (whence === 1) position += stream.position;
      else if (whence === 2) position += stream.node.size;
      if (position < 0) throw new FS.ErrnoError(BLOBFS.EINVAL);
      return position;
    },
  },
};

Module['mountBlobFs'] = function (path, opts) {
  FS.mkdirTree(path);
  FS.mount(BLOBFS, opts, path);
};
Module['unmountBlobFs'] = function (path) {
  FS.unmount(path);
};
Module['blobOf'] = BLOBFS.blobOf;
