.class public Lorg/velmora/demo/Broken;
.super Ljava/lang/Object;
.source "Broken.java"


# direct methods
.method public static answer()I
    .locals 1

    const/16 v0, 0x2a

    retrun v0
.end method
